#include "settings/setting_table.h"

#include "common/numbers.h"

#include <algorithm>
#include <iterator>

namespace vistrel {
namespace {

using S = TProgramSettings;
using K = TSettingKind;
using P = TSettingsPage;
using R = TValueRule;

// To add a setting: a member in TProgramSettings, a row here where its widget stands in the dialog,
// and the widget (named as the row) on its page.
const TSettingDescription kSettings[] = {
    {"edImpressum", K::Lines, &S::edImpressum, "", P::Info},
    {"edSiteTitle", K::Text, &S::edSiteTitle, "", P::Info},
    {"edEmail", K::Text, &S::edEmail, "", P::Info},
    {"edIndexText1", K::Lines, &S::edIndexText1, "", P::MainPage},
    {"edIndexText2", K::Lines, &S::edIndexText2, "", P::MainPage},
    {"edFootnote", K::Text, &S::edFootnote, "", P::MainPage},
    {"cbAutoSize", K::Flag, &S::cbAutoSize, "True", P::ImageImport},
    {"edMaxWidth", K::Text, &S::edMaxWidth, "500", P::ImageImport, {R::PositiveNumber}},
    {"edMaxHeight", K::Text, &S::edMaxHeight, "500", P::ImageImport, {R::PositiveNumber}},
    {"cbDontEnlarge", K::Flag, &S::cbDontEnlarge, "False", P::ImageImport},
    {"cbJPEGNoReCompress", K::Flag, &S::cbJPEGNoReCompress, "False", P::ImageImport},
    {"cbGamma", K::Flag, &S::cbGamma, "False", P::ImageImport},
    {"edGamma", K::Text, &S::edGamma, "1,0", P::ImageImport, {R::GammaFactor}},
    {"rgQuality", K::Choice, &S::rgQuality, "1", P::ImageImport, Choices(3)},
    {"edLargeSize", K::Text, &S::edLargeSize, "2048", P::ImageImport, {R::ZeroOrRange, 32, 8192}},
    {"cpUseFTP", K::Flag, &S::cpUseFTP, "True", P::Publish},
    {"edFTPServer", K::Text, &S::edFTPServer, "", P::Publish},
    {"edFTPUser", K::Text, &S::edFTPUser, "", P::Publish},
    {"edFTPPassword", K::Password, &S::edFTPPassword, "", P::Publish},
    {"edFTPDirectory", K::Text, &S::edFTPDirectory, "", P::Publish},
    {"edFTPPort", K::Text, &S::edFTPPort, "21", P::Publish, {R::Port}},
    {"cbUsePassiveMode", K::Flag, &S::cbUsePassiveMode, "True", P::Publish},
    {"cbCheckServer", K::Flag, &S::cbCheckServer, "True", P::Publish},
    // On for a new installation; Load keeps plain FTP for a file written before it existed.
    {"cbUseTLS", K::Flag, &S::cbUseTLS, "True", P::Publish},
    {"cbRequireTLS", K::Flag, &S::cbRequireTLS, "False", P::Publish},
    {"cbParallelUploads", K::Flag, &S::cbParallelUploads, "True", P::Publish},
    {"rgProtocol", K::Choice, &S::rgProtocol, "0", P::Publish, Choices(2)},
    {"edSSHKeyFile", K::Text, &S::edSSHKeyFile, "", P::Publish},
    {"edNoOfThumbs", K::Text, &S::edNoOfThumbs, "12", P::Other, {R::ThumbCount}},
    {"rgOverwriteFiles", K::Choice, &S::rgOverwriteFiles, "1", P::Other, Choices(2)},
    {"cbAllowInvitations", K::Flag, &S::cbAllowInvitations, "True", P::Other},
};

// The order a save has always written the keys of a new file in. Keys already in a file keep their
// place whatever this order is; it only keeps new files as they always were.
constexpr std::string_view kFileOrder[] = {
    "cbAutoSize",       "cbDontEnlarge",     "edFTPServer",   "edFTPUser",          "edMaxHeight",
    "edMaxWidth",       "edFTPDirectory",    "cbGamma",       "cbJPEGNoReCompress", "edGamma",
    "edImpressum",      "edEmail",           "edSiteTitle",   "edIndexText1",       "edIndexText2",
    "edFootnote",       "cpUseFTP",          "edNoOfThumbs",  "rgQuality",          "edFTPPort",
    "cbUsePassiveMode", "rgOverwriteFiles",  "cbCheckServer", "cbAllowInvitations", "cbUseTLS",
    "cbRequireTLS",     "cbParallelUploads",
};

const char* KeySuffix(TSettingKind kind) {
    switch (kind) {
    case TSettingKind::Flag:
        return "_Checked";
    case TSettingKind::Text:
        return "_Text";
    case TSettingKind::Choice:
        return "_ItemIndex";
    case TSettingKind::Lines:
        return "_Lines";
    case TSettingKind::Password:
        break;
    }
    return "";
}

} // namespace

std::span<const TSettingDescription> SettingDescriptions() {
    return kSettings;
}

const TSettingDescription* FindSettingDescription(std::string_view key) {
    for (const TSettingDescription& setting : kSettings) {
        std::string_view name = setting.name;
        if (key == name) return &setting;
        if (key.size() <= name.size() || key.substr(0, name.size()) != name) continue;
        // Any stored key's suffix, as people copy keys from settings files of other settings.
        std::string_view suffix = key.substr(name.size());
        for (auto kind : {K::Flag, K::Text, K::Choice, K::Lines})
            if (suffix == KeySuffix(kind)) return &setting;
    }
    return nullptr;
}

std::string StoredKey(const TSettingDescription& setting) {
    if (setting.kind == TSettingKind::Password) return "FTPPassword";
    if (setting.kind == TSettingKind::Lines)
        return std::string(kSettingsSection) + "." + setting.name + KeySuffix(setting.kind);
    return std::string(setting.name) + KeySuffix(setting.kind);
}

std::vector<const TSettingDescription*> SettingsInFileOrder() {
    std::vector<const TSettingDescription*> order;
    for (std::string_view name : kFileOrder)
        order.push_back(FindSettingDescription(name));
    auto listed = [&](const TSettingDescription& setting) {
        return std::find(std::begin(kFileOrder), std::end(kFileOrder), setting.name) != std::end(kFileOrder);
    };
    for (const TSettingDescription& setting : kSettings)
        if (!listed(setting) && setting.kind != TSettingKind::Password) order.push_back(&setting);
    for (const TSettingDescription& setting : kSettings)
        if (setting.kind == TSettingKind::Password) order.push_back(&setting);
    return order;
}

void ApplyDefault(TProgramSettings& settings, const TSettingDescription& setting) {
    const std::string value = setting.defaultValue;
    struct TDefault {
        TProgramSettings& settings;
        const std::string& value;
        void operator()(bool TProgramSettings::*m) const { settings.*m = value == "True"; }
        void operator()(std::string TProgramSettings::*m) const { settings.*m = value; }
        void operator()(int TProgramSettings::*m) const {
            int number = 0;
            settings.*m = ParseInt(value, number) ? number : 0;
        }
        void operator()(std::vector<std::string> TProgramSettings::*m) const {
            (settings.*m).clear();
            if (!value.empty()) (settings.*m).push_back(value);
        }
    };
    std::visit(TDefault{settings, value}, setting.member);
}

} // namespace vistrel
