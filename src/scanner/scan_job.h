#pragma once
// One scan from the current (or a named) device: the remembered options are applied, the source's
// window runs, the last page comes out as the picture and the chosen values are remembered for the
// next scan in the settings file's section "TScanner".
#include "common/job.h"
#include "scanner/scanner.h"
#include "settings/program_settings.h"

#include <string>
#include <vector>

namespace vistrel {

inline constexpr const char* kScannerSection = "TScanner";
inline constexpr const char* kScannerDeviceKey = "Device";

enum class TScanCode {
    Success,       // also when nothing was scanned: the window was closed or the scan cancelled
    NoDevice,      // SANE knows no device
    UnknownDevice, // the named device is not in the list; detail: the name
    DeviceBusy,
    Jammed,
    CoverOpen,
    NoDocuments, // the feeder was empty before the first page
    AccessDenied,
    InvalidOption, // detail: which value of which option
    DeviceFailed,  // detail: the driver's text
};

struct TScanOptionValue {
    std::string name;  // SANE's option name ("mode")
    std::string value; // as text ("Gray")
};

struct TScanParams {
    std::string device;                    // empty: the remembered device, else the first
    std::vector<TScanOptionValue> options; // applied after the remembered ones; a bad one fails the job
};

// The source's window and the progress of the scan. Without a window the scan starts at once with
// the options as they are set.
class ScanJobControl : public ScanControl {
public:
    virtual void ShowSourceDialog(TScanSession& session) { session.Scan(*this); }
};

// The remembered device and values, as the settings file holds them.
struct TScannerSettings {
    std::string device;
    std::vector<TScanOptionValue> options; // the usual options only, in the order they are applied
};
TScannerSettings LoadScannerSettings(const TProgramSettings& settings);
// Returns false when the settings file cannot be written (the program settings say so then).
bool SaveScannerSettings(TProgramSettings& settings, const TScannerSettings& values);

class TScanJob {
public:
    TScanJob(TScanner& scanner, TProgramSettings& settings) : scanner_(scanner), settings_(settings) {}

    // `picture` receives the last page with its resolution; it is empty when nothing was scanned.
    // Pages that came before a failure (a jam on the fifth page) stay: the last of them is kept.
    TJobResult<TScanCode> Run(const TScanParams& params, TDibGraphic& picture, ScanJobControl& control);
    int Pages() const { return pages_; }

private:
    TJobResult<TScanCode> Acquire(const TScanParams& params, TDibGraphic& picture, ScanJobControl& control);

    TScanner& scanner_;
    TProgramSettings& settings_;
    int pages_ = 0;
};

// The German text of a failed scan, Windows-1252; empty for success.
std::string ScanMessage(const TJobResult<TScanCode>& result);

} // namespace vistrel
