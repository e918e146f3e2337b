// `settings` and the style choice: the settings dialog's fields by their keys in the settings file,
// checked as the dialog checks them, saved as its "OK" saves them; and the style dialog's choice.
#include "cli/cli_commands.h"

#include "album_library/picture_import.h"
#include "common/cp1252.h"
#include "common/numbers.h"
#include "site_generator/style_catalogue.h"

#include <iostream>
#include <termios.h>
#include <unistd.h>
#include <variant>

namespace vistrel::cli {
namespace {

using TMember = std::variant<bool TProgramSettings::*, std::string TProgramSettings::*,
                             int TProgramSettings::*, std::vector<std::string> TProgramSettings::*>;

enum class TCheck { Text, Number, Port, ThumbCount, Gamma };

struct TSetting {
    const char* key; // the stored key without its "_Text" / "_Checked" / "_ItemIndex"
    TMember member;
    TCheck check = TCheck::Text;
    int choices = 0; // radio groups: the number of buttons
};

// In the order of the dialog's pages.
const TSetting kSettings[] = {
    {"edImpressum", &TProgramSettings::edImpressum},
    {"edSiteTitle", &TProgramSettings::edSiteTitle},
    {"edEmail", &TProgramSettings::edEmail},
    {"edIndexText1", &TProgramSettings::edIndexText1},
    {"edIndexText2", &TProgramSettings::edIndexText2},
    {"edFootnote", &TProgramSettings::edFootnote},
    {"cbAutoSize", &TProgramSettings::cbAutoSize},
    {"edMaxWidth", &TProgramSettings::edMaxWidth, TCheck::Number},
    {"edMaxHeight", &TProgramSettings::edMaxHeight, TCheck::Number},
    {"cbDontEnlarge", &TProgramSettings::cbDontEnlarge},
    {"cbJPEGNoReCompress", &TProgramSettings::cbJPEGNoReCompress},
    {"cbGamma", &TProgramSettings::cbGamma},
    {"edGamma", &TProgramSettings::edGamma, TCheck::Gamma},
    {"rgQuality", &TProgramSettings::rgQuality, TCheck::Text, 3},
    {"cpUseFTP", &TProgramSettings::cpUseFTP},
    {"edFTPServer", &TProgramSettings::edFTPServer},
    {"edFTPUser", &TProgramSettings::edFTPUser},
    {"edFTPPassword", &TProgramSettings::edFTPPassword},
    {"edFTPDirectory", &TProgramSettings::edFTPDirectory},
    {"edFTPPort", &TProgramSettings::edFTPPort, TCheck::Port},
    {"cbUsePassiveMode", &TProgramSettings::cbUsePassiveMode},
    {"cbCheckServer", &TProgramSettings::cbCheckServer},
    {"cbUseTLS", &TProgramSettings::cbUseTLS},
    {"cbRequireTLS", &TProgramSettings::cbRequireTLS},
    {"cbParallelUploads", &TProgramSettings::cbParallelUploads},
    {"rgProtocol", &TProgramSettings::rgProtocol, TCheck::Text, 2},
    {"edSSHKeyFile", &TProgramSettings::edSSHKeyFile},
    {"edNoOfThumbs", &TProgramSettings::edNoOfThumbs, TCheck::ThumbCount},
    {"rgOverwriteFiles", &TProgramSettings::rgOverwriteFiles, TCheck::Text, 2},
    {"cbAllowInvitations", &TProgramSettings::cbAllowInvitations},
};

constexpr const char* kPasswordKey = "edFTPPassword";

// The key as listed, or as stored in the settings file ("edFTPServer_Text").
const TSetting* FindSetting(const std::string& key) {
    for (const TSetting& setting : kSettings) {
        std::string name = setting.key;
        if (key == name || key == name + "_Text" || key == name + "_Checked" || key == name + "_ItemIndex" ||
            key == name + "_Lines")
            return &setting;
    }
    return nullptr;
}

// The value as one line of UTF-8: lines joined by "\n", flags "True"/"False".
std::string ShownValue(const TProgramSettings& settings, const TSetting& setting) {
    if (std::string(setting.key) == kPasswordKey) return settings.edFTPPassword.empty() ? "" : "********";
    struct TShow {
        const TProgramSettings& settings;
        std::string operator()(bool TProgramSettings::*m) const { return settings.*m ? "True" : "False"; }
        std::string operator()(int TProgramSettings::*m) const { return std::to_string(settings.*m); }
        std::string operator()(std::string TProgramSettings::*m) const {
            return AnsiToUtf8(EscapeLine(settings.*m));
        }
        std::string operator()(std::vector<std::string> TProgramSettings::*m) const {
            std::string joined;
            for (size_t i = 0; i < (settings.*m).size(); ++i)
                joined += (i ? "\\n" : "") + EscapeLine((settings.*m)[i]);
            return AnsiToUtf8(joined);
        }
    };
    return std::visit(TShow{settings}, setting.member);
}

std::vector<std::string> SplitStoredLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
        lines.push_back(text.substr(start, at - start));
    lines.push_back(text.substr(start));
    if (lines.size() == 1 && lines[0].empty()) lines.clear();
    return lines;
}

// Checks `typed` for the setting and stores it; on refusal the reason (English) and false.
bool StoreValue(TProgramSettings& settings, const TSetting& setting, const std::string& typed,
                std::string& reason, std::ostream& err) {
    std::string value = Utf8ToAnsi(typed);
    int number = 0;
    if (auto flag = std::get_if<bool TProgramSettings::*>(&setting.member)) {
        if (typed != "True" && typed != "False") return reason = "True or False", false;
        settings.** flag = typed == "True";
    } else if (auto choice = std::get_if<int TProgramSettings::*>(&setting.member)) {
        if (!ParseInt(typed, number) || number < 0 || number >= setting.choices)
            return reason = "a number from 0 to " + std::to_string(setting.choices - 1), false;
        settings.** choice = number;
    } else if (auto lines = std::get_if<std::vector<std::string> TProgramSettings::*>(&setting.member)) {
        settings.** lines = SplitStoredLines(UnescapeLine(value));
    } else {
        auto text = std::get<std::string TProgramSettings::*>(setting.member);
        bool isNumber = ParseInt(typed, number);
        if ((setting.check == TCheck::Number || setting.check == TCheck::ThumbCount) && !isNumber)
            return reason = "a whole number", false;
        if (setting.check == TCheck::Number && number <= 0) return reason = "a number above 0", false;
        if (setting.check == TCheck::Port && (!isNumber || number < 1 || number > 65535))
            return reason = "a port number from 1 to 65535", false;
        if (setting.check == TCheck::Gamma && value != "1,0" && !ImportGammaFactor(value))
            return reason = "a factor from 0,1 to 7,0 with a decimal comma", false;
        if (setting.check == TCheck::ThumbCount && number <= 0) {
            // The dialog's rule when the field is left: a count below 1 becomes 1.
            err << "vistrel-cli: edNoOfThumbs below 1 is stored as 1\n";
            value = "1";
        }
        settings.*text = value;
    }
    return true;
}

// What the dialog's "OK" writes; its own placement stays as it was loaded.
bool SaveSettings(TProgramSettings& settings) {
    settings.settingsFormPlacement = settings.loadedSettingsFormPlacement.placement;
    return settings.Save();
}

// One line from standard input, without echo when it is a terminal.
std::optional<std::string> ReadPassword(std::ostream& err) {
    bool terminal = ::isatty(STDIN_FILENO);
    termios saved{};
    if (terminal) {
        err << "FTP-Passwort: " << std::flush;
        ::tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    std::string line;
    bool read = static_cast<bool>(std::getline(std::cin, line));
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        err << '\n';
    }
    if (!read && line.empty()) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

int ListSettings(const TProgramSettings& settings, bool json, TCommandIo io) {
    if (json) io.out << "{";
    bool first = true;
    for (const TSetting& setting : kSettings) {
        if (json)
            io.out << (first ? "\n " : ",\n ") << JsonString(setting.key) << ": "
                   << JsonString(ShownValue(settings, setting));
        else
            io.out << setting.key << '=' << ShownValue(settings, setting) << '\n';
        first = false;
    }
    if (json) io.out << "\n}\n";
    return 0;
}

} // namespace

namespace {

TSettingsArgs SettingsArgs(TSettingsArgs::TAction action, bool json = false, std::string key = {},
                           std::string value = {}) {
    return TSettingsArgs{action, json, std::move(key), std::move(value)};
}

} // namespace

std::optional<TSettingsArgs> ParseSettingsArgs(const TCommandArgs& args) {
    using A = TSettingsArgs::TAction;
    if (args.empty()) return TSettingsArgs{};
    if (args.size() == 1 && args[0] == "--json") return SettingsArgs(A::List, true);
    if (args.size() == 1 && args[0] == "set-password") return SettingsArgs(A::SetPassword);
    if (args.size() == 2 && args[0] == "get" && FindSetting(args[1]))
        return SettingsArgs(A::Get, false, args[1]);
    // The password never on the command line, where every user of the machine can read it.
    if (args.size() == 3 && args[0] == "set" && FindSetting(args[1]) &&
        FindSetting(args[1])->key != kPasswordKey)
        return SettingsArgs(A::Set, false, args[1], args[2]);
    return std::nullopt;
}

int RunSettings(TProgramContext& context, const TSettingsArgs& args, TCommandIo io) {
    using A = TSettingsArgs::TAction;
    TProgramSettings& settings = context.settings;
    if (args.action == A::List) return ListSettings(settings, args.json, io);
    if (args.action == A::Get) {
        io.out << ShownValue(settings, *FindSetting(args.key)) << '\n';
        return 0;
    }
    if (args.action == A::SetPassword) {
        auto password = ReadPassword(io.err);
        if (!password) {
            io.err << "vistrel-cli: no password on standard input\n";
            return 1;
        }
        settings.edFTPPassword = Utf8ToAnsi(*password);
        return SaveSettings(settings) ? 0 : 1;
    }
    const TSetting& setting = *FindSetting(args.key);
    std::string reason;
    if (!StoreValue(settings, setting, args.value, reason, io.err)) {
        io.err << "vistrel-cli: " << setting.key << " takes " << reason << ", not \"" << args.value << "\"\n";
        return 1;
    }
    return SaveSettings(settings) ? 0 : 1;
}

std::optional<TStylesArgs> ParseStylesArgs(const TCommandArgs& args) {
    if (args.empty()) return TStylesArgs{};
    if (args.size() == 1 && args[0] == "--json") return TStylesArgs{true};
    return std::nullopt;
}

int RunStyles(TProgramContext& context, const TStylesArgs& args, TCommandIo io) {
    TStyleCatalogue catalogue(context.folders.styles, context.settings.CurrentStyleFolder());
    std::string current = StyleNameOf(context.settings.CurrentStyleFolder());
    if (args.json) io.out << "[";
    for (size_t i = 0; i < catalogue.Names().size(); ++i) {
        const std::string& name = catalogue.Names()[i];
        bool chosen = AnsiSameText(name, current);
        if (args.json)
            io.out << (i ? ",\n " : "\n ") << "{\"name\": " << JsonString(AnsiToUtf8(name))
                   << ", \"current\": " << (chosen ? "true" : "false") << "}";
        else
            io.out << (chosen ? "* " : "  ") << AnsiToUtf8(name) << '\n';
    }
    if (args.json) io.out << (catalogue.Names().empty() ? "]\n" : "\n]\n");
    return 0;
}

std::optional<TStyleArgs> ParseStyleArgs(const TCommandArgs& args) {
    if (args.size() != 1) return std::nullopt;
    return TStyleArgs{args[0]};
}

// "Style auswählen..." with "Ok": the named entry of the catalogue becomes the current style.
int RunStyle(TProgramContext& context, const TStyleArgs& args, TCommandIo io) {
    TStyleCatalogue catalogue(context.folders.styles, context.settings.CurrentStyleFolder());
    std::string name = Utf8ToAnsi(args.name);
    const auto& names = catalogue.Names();
    auto found =
        std::find_if(names.begin(), names.end(), [&](const std::string& n) { return AnsiSameText(n, name); });
    if (found == names.end()) {
        io.err << "vistrel-cli: no style " << args.name << '\n';
        return 1;
    }
    catalogue.Choose(static_cast<int>(found - names.begin()));
    StoreChosenStyle(context.settings, catalogue);
    return 0;
}

} // namespace vistrel::cli
