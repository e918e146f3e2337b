#pragma once
// One description per user setting: its name, kind, default, dialog page and value rule. The model
// (load, save, defaults), the settings dialog's bindings and vistrel-cli's `settings` command all read
// this one table, so a new setting is one row (setting_table.cpp) plus its member and its widget.
#include "settings/program_settings.h"

#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vistrel {

// The settings dialog's pages in their order; the index of each is its tab index.
enum class TSettingsPage { Info, MainPage, ImageImport, Publish, Other };

// How a setting is kept and stored. The stored key is the name plus a suffix by kind:
// Flag "_Checked" (True/False), Text "_Text", Choice "_ItemIndex" (0-based index of a radio group),
// Lines a section "TSettingsForm.<name>_Lines" of its own, Password the key "FTPPassword" (scrambled).
enum class TSettingKind { Flag, Text, Password, Choice, Lines };

using TSettingMember = std::variant<bool TProgramSettings::*, std::string TProgramSettings::*,
                                    int TProgramSettings::*, std::vector<std::string> TProgramSettings::*>;

// What a typed value must be. The dialog takes every text as typed (only the thumbnail count is
// repaired when its field is left); vistrel-cli refuses what breaks the rule.
enum class TValueRule {
    Any,
    PositiveNumber, // a whole number above 0
    Port,           // a whole number from 1 to 65535
    ThumbCount,     // a whole number; below 1 is stored as 1, as the dialog does
    GammaFactor,    // "1,0" or a factor from 0,1 to 7,0 with a decimal comma
    Range,          // a whole number from low to high
    ZeroOrRange,    // "0" (none) or a whole number from low to high
    Choice,         // an index from 0 to high (the radio group's last button)
};

struct TSettingCheck {
    TValueRule rule = TValueRule::Any;
    int low = 0;
    int high = 0;
};

constexpr TSettingCheck Choices(int count) {
    return {TValueRule::Choice, 0, count - 1};
}

struct TSettingDescription {
    const char* name; // the dialog field's object name and the CLI's key: "edMaxWidth"
    TSettingKind kind;
    TSettingMember member;
    const char* defaultValue; // as the settings file writes it: "True", "500", "1"; "" for none
    TSettingsPage page;
    TSettingCheck check = {};
};

// Every setting of section "TSettingsForm" in the order of the dialog's pages, top to bottom.
std::span<const TSettingDescription> SettingDescriptions();

// The row for a name as listed ("edFTPServer") or with a stored key's suffix ("edFTPServer_Text");
// null when none.
const TSettingDescription* FindSettingDescription(std::string_view key);

// The key in section "TSettingsForm"; for Lines the name of the section that holds the lines.
std::string StoredKey(const TSettingDescription& setting);

// The rows in the order a save writes them into a new file: the order files have always had, then
// settings added since in table order, the password last.
std::vector<const TSettingDescription*> SettingsInFileOrder();

// Sets the setting to its described default.
void ApplyDefault(TProgramSettings& settings, const TSettingDescription& setting);

} // namespace vistrel
