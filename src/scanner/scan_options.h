#pragma once
// A device's options as SANE describes them, read into plain values the scan dialog and the command
// line can show and set: every value travels as text ("Gray", "150", "12.5", "true"), so one path
// serves the dialog's fields, the remembered settings and `--option NAME=VALUE`.
#include <sane/sane.h>

#include <string>
#include <string_view>
#include <vector>

namespace vistrel {

enum class TScanOptionKind { Bool, Int, Fixed, String, Button, Group };
enum class TScanUnit { None, Pixel, Bit, Millimetre, Dpi, Percent, Microsecond };

// The option names the scan dialog shows and the settings remember, in the order they are applied:
// the source and the mode first, because they change the ranges of the others.
inline constexpr std::string_view kUsualScanOptions[] = {"source", "mode", "resolution", "tl-x",
                                                         "tl-y",   "br-x", "br-y"};

struct TScanOption {
    int index = 0;
    std::string name;  // SANE's name, as the driver spells it ("resolution")
    std::string title; // Windows-1252, for people
    TScanOptionKind kind = TScanOptionKind::Group;
    TScanUnit unit = TScanUnit::None;
    int valueCount = 1; // elements of an array option
    bool active = false;
    bool settable = false;
    bool hasRange = false;
    double minimum = 0;
    double maximum = 0;
    double quant = 0;
    std::vector<std::string> choices; // a string list, or a word list written as numbers
    std::string value;                // the current value as text (the first element of an array)
};

// Every option but option 0 (the count). Values of inactive or unreadable options stay empty.
std::vector<TScanOption> ReadScanOptions(SANE_Handle handle);
const TScanOption* FindScanOption(const std::vector<TScanOption>& options, std::string_view name);

// Sets the option from text; an array option gets the value in every element. Throws ETwainError
// "Invalid value ... for option ..." for text that does not fit the option's type, and the
// driver's failure otherwise. The driver may round to a value it supports.
void SetScanOption(SANE_Handle handle, const TScanOption& option, const std::string& text);

// "150", "12.5", "0.3333": at most four decimals, without trailing zeros.
std::string FormatScanNumber(double value);
// Reads "150", "12.5" or "12,5"; false for anything else.
bool ParseScanNumber(const std::string& text, double& value);

// The text of a SANE status code, in English.
std::string SaneStatusText(SANE_Status status);

} // namespace vistrel
