#include "settings/program_settings.h"

#include "common/atomic_file.h"
#include "common/cp1252.h"
#include "common/folder_listing.h"
#include "common/numbers.h"
#include "common/text_utils.h"
#include "common/user_prompts.h"

#include <algorithm>
#include <variant>

namespace vistrel {
namespace {

constexpr const char* kPasswordKey = "ZEK Marnholdtine";
constexpr const char* kNoStylesMessage =
    "Es wurden keine Stilvorlagen gefunden. Bitte installieren Sie das Programm erneut.";
constexpr const char* kCannotWriteMessage = "In %s kann nicht geschrieben werden";

std::string LinesSection(const char* setting) {
    return std::string(kSettingsSection) + "." + setting + "_Lines";
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The last folder name of a stored style path: one trailing separator removed, then everything up to
// and including the last separator that remains. Both "\" and "/" count, for files from Windows.
std::string LastFolderName(std::string path) {
    if (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.pop_back();
    size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// A style is a real folder directly inside "styles": ".." or a link to a folder elsewhere would make
// the program folder, or any other folder, the style whose files are copied into the site.
bool IsStyleFolderName(const std::filesystem::path& styles, const std::string& name) {
    if (name.empty() || name == "." || name == ".." || name.find_first_of("\\/") != std::string::npos)
        return false;
    std::error_code ec;
    const std::filesystem::path folder = styles / name;
    return std::filesystem::is_directory(folder, ec) && LiesInside(folder, styles) &&
           !std::filesystem::equivalent(folder, styles, ec);
}

} // namespace

namespace settings_codec {

std::string QuoteValue(const std::string& value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return "\"" + value + "\"";
    // A single quote character alone also begins and ends with a quote.
    if (value.size() == 1 && (value[0] == '"' || value[0] == '\'')) return "\"" + value + "\"";
    return value;
}

void WriteText(TIniFile& ini, std::string_view section, std::string_view key, const std::string& value) {
    ini.Write(section, key, QuoteValue(Trim(value)));
}

void ReadText(const TIniFile& ini, std::string_view section, std::string_view key, std::string& value) {
    if (auto stored = ini.Read(section, key)) value = Trim(*stored);
}

void WriteFlag(TIniFile& ini, std::string_view section, std::string_view key, bool value) {
    ini.Write(section, key, value ? "True" : "False");
}

void ReadFlag(const TIniFile& ini, std::string_view section, std::string_view key, bool& value) {
    auto stored = ini.Read(section, key);
    if (!stored) return;
    if (AnsiSameText(*stored, "True"))
        value = true;
    else if (AnsiSameText(*stored, "False"))
        value = false;
}

void WriteNumber(TIniFile& ini, std::string_view section, std::string_view key, int value) {
    ini.Write(section, key, std::to_string(value));
}

void ReadNumber(const TIniFile& ini, std::string_view section, std::string_view key, int& value) {
    auto stored = ini.Read(section, key);
    if (!stored) return;
    if (!ParseInt(*stored, value)) value = 0;
}

void WriteLines(TIniFile& ini, const std::string& section, const std::vector<std::string>& lines) {
    ini.EraseSection(section);
    if (lines.empty()) return;
    WriteNumber(ini, section, "Count", static_cast<int>(lines.size()));
    for (size_t i = 0; i < lines.size(); ++i)
        WriteText(ini, section, "Item" + std::to_string(i), lines[i]);
}

void ReadLines(const TIniFile& ini, const std::string& section, std::vector<std::string>& lines) {
    int count = 0;
    ReadNumber(ini, section, "Count", count);
    if (count <= 0) return;
    std::vector<std::string> result;
    // A hostile Count must not make us allocate for billions of lines that are not there.
    result.reserve(static_cast<size_t>(std::min(count, 4096)));
    for (int i = 0; i < count; ++i)
        result.push_back(ini.ReadString(section, "Item" + std::to_string(i), ""));
    lines = std::move(result);
}

} // namespace settings_codec

using namespace settings_codec;

std::string ScramblePassword(const std::string& password) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 1; i <= password.size(); ++i) {
        auto byte = static_cast<unsigned char>(password[i - 1] ^ kPasswordKey[i % 16]);
        out += hex[byte >> 4];
        out += hex[byte & 15];
    }
    return out;
}

std::string UnscramblePassword(const std::string& scrambled) {
    std::string text = Trim(scrambled);
    if (text.empty() || text.size() % 2 != 0) return {};
    std::string out;
    int previous = 0; // a first pair that is not hexadecimal reads as 0
    for (size_t n = 1; n <= text.size() / 2; ++n) {
        int high = HexDigit(text[2 * n - 2]);
        int low = HexDigit(text[2 * n - 1]);
        int number = (high < 0 || low < 0) ? previous : high * 16 + low;
        previous = number;
        out += static_cast<char>(number ^ kPasswordKey[n % 16]);
    }
    return out;
}

TProgramSettings::TProgramSettings(const TProgramFolders& folders, UserPrompts& prompts)
    : folders_(folders), prompts_(prompts) {}

TIniFile TProgramSettings::LoadFile() const {
    return TIniFile::Load(folders_.SettingsFile());
}

bool TProgramSettings::SaveFile(const TIniFile& ini) {
    try {
        ini.Save(folders_.SettingsFile());
        return true;
    } catch (const EFileWriteError&) {
        prompts_.ShowMessage(FormatMessage(kCannotWriteMessage, {folders_.SettingsFile().string()}),
                             MessageKind::Error);
        return false;
    }
}

namespace {

using TSettingMember = std::variant<bool TProgramSettings::*, std::string TProgramSettings::*,
                                    int TProgramSettings::*, std::vector<std::string> TProgramSettings::*>;

struct TSettingKey {
    const char* key; // the stored key; for a lines setting the setting's name, which names its section
    TSettingMember member;
};

// Every setting of section "TSettingsForm" in the order a save writes them.
const TSettingKey kSettingKeys[] = {
    {"cbAutoSize_Checked", &TProgramSettings::cbAutoSize},
    {"cbDontEnlarge_Checked", &TProgramSettings::cbDontEnlarge},
    {"edFTPServer_Text", &TProgramSettings::edFTPServer},
    {"edFTPUser_Text", &TProgramSettings::edFTPUser},
    {"edMaxHeight_Text", &TProgramSettings::edMaxHeight},
    {"edMaxWidth_Text", &TProgramSettings::edMaxWidth},
    {"edFTPDirectory_Text", &TProgramSettings::edFTPDirectory},
    {"cbGamma_Checked", &TProgramSettings::cbGamma},
    {"cbJPEGNoReCompress_Checked", &TProgramSettings::cbJPEGNoReCompress},
    {"edGamma_Text", &TProgramSettings::edGamma},
    {"edImpressum", &TProgramSettings::edImpressum},
    {"edEmail_Text", &TProgramSettings::edEmail},
    {"edSiteTitle_Text", &TProgramSettings::edSiteTitle},
    {"edIndexText1", &TProgramSettings::edIndexText1},
    {"edIndexText2", &TProgramSettings::edIndexText2},
    {"edFootnote_Text", &TProgramSettings::edFootnote},
    {"cpUseFTP_Checked", &TProgramSettings::cpUseFTP},
    {"edNoOfThumbs_Text", &TProgramSettings::edNoOfThumbs},
    {"rgQuality_ItemIndex", &TProgramSettings::rgQuality},
    {"edFTPPort_Text", &TProgramSettings::edFTPPort},
    {"cbUsePassiveMode_Checked", &TProgramSettings::cbUsePassiveMode},
    {"rgOverwriteFiles_ItemIndex", &TProgramSettings::rgOverwriteFiles},
    {"cbCheckServer_Checked", &TProgramSettings::cbCheckServer},
    {"cbAllowInvitations_Checked", &TProgramSettings::cbAllowInvitations},
    {"cbUseTLS_Checked", &TProgramSettings::cbUseTLS},
    {"cbRequireTLS_Checked", &TProgramSettings::cbRequireTLS},
    {"cbParallelUploads_Checked", &TProgramSettings::cbParallelUploads},
    {"rgProtocol_ItemIndex", &TProgramSettings::rgProtocol},
    {"edSSHKeyFile_Text", &TProgramSettings::edSSHKeyFile},
};

struct TSettingReader {
    const TIniFile& ini;
    TProgramSettings& settings;
    const char* key;
    void operator()(bool TProgramSettings::*m) const { ReadFlag(ini, kSettingsSection, key, settings.*m); }
    void operator()(std::string TProgramSettings::*m) const {
        ReadText(ini, kSettingsSection, key, settings.*m);
    }
    void operator()(int TProgramSettings::*m) const { ReadNumber(ini, kSettingsSection, key, settings.*m); }
    void operator()(std::vector<std::string> TProgramSettings::*m) const {
        ReadLines(ini, LinesSection(key), settings.*m);
    }
};

struct TSettingWriter {
    TIniFile& ini;
    const TProgramSettings& settings;
    const char* key;
    void operator()(bool TProgramSettings::*m) const { WriteFlag(ini, kSettingsSection, key, settings.*m); }
    void operator()(std::string TProgramSettings::*m) const {
        WriteText(ini, kSettingsSection, key, settings.*m);
    }
    void operator()(int TProgramSettings::*m) const { WriteNumber(ini, kSettingsSection, key, settings.*m); }
    void operator()(std::vector<std::string> TProgramSettings::*m) const {
        WriteLines(ini, LinesSection(key), settings.*m);
    }
};

} // namespace

void TProgramSettings::Load() {
    TIniFile ini = LoadFile();
    if (!SectionLoadAllowed(ini, kSettingsSection)) return;
    loadedSettingsFormPlacement = ReadPlacement(ini, kSettingsSection, screen);
    settingsFormPlacement = loadedSettingsFormPlacement.placement;
    for (const TSettingKey& setting : kSettingKeys)
        std::visit(TSettingReader{ini, *this, setting.key}, setting.member);
    if (auto stored = ini.Read(kSettingsSection, "FTPPassword")) edFTPPassword = UnscramblePassword(*stored);
    // A server that worked in plain FTP before encryption existed keeps working the same way.
    if (!ini.Read(kSettingsSection, "cbUseTLS_Checked") && ini.Read(kSettingsSection, "edFTPServer_Text"))
        cbUseTLS = false;
}

bool TProgramSettings::Save() {
    TIniFile ini = LoadFile();
    WritePlacement(ini, kSettingsSection, settingsFormPlacement, screen);
    for (const TSettingKey& setting : kSettingKeys)
        std::visit(TSettingWriter{ini, *this, setting.key}, setting.member);
    WriteText(ini, kSettingsSection, "FTPPassword", ScramblePassword(edFTPPassword));
    return SaveFile(ini);
}

TLoadedPlacement TProgramSettings::LoadMainPlacement(int& treeWidth) const {
    TIniFile ini = LoadFile();
    if (!SectionLoadAllowed(ini, kMainWindowSection)) return {};
    ReadNumber(ini, kMainWindowSection, "XPTree_Width", treeWidth);
    return ReadPlacement(ini, kMainWindowSection, screen);
}

bool TProgramSettings::SaveMainPlacement(const TWindowPlacement& placement, int treeWidth) {
    TIniFile ini = LoadFile();
    WritePlacement(ini, kMainWindowSection, placement, screen);
    WriteNumber(ini, kMainWindowSection, "XPTree_Width", treeWidth);
    return SaveFile(ini);
}

std::string TProgramSettings::FirstStyleName() {
    auto styles = ListFolderWithin(folders_.styles, EntryKind::Folders, folders_.styles);
    if (styles.empty()) {
        prompts_.ShowMessage(kNoStylesMessage, MessageKind::Error);
        return {};
    }
    return styles.front();
}

void TProgramSettings::ResolveStyle() {
    std::string name;
    ReadText(LoadFile(), kSettingsSection, "ActStyle", name);
    if (name.empty()) name = FirstStyleName();
    name = LastFolderName(name);
    if (!IsStyleFolderName(folders_.styles, name)) name = FirstStyleName();
    ActStyle = name;
    styleFolder_ = folders_.styles / name / "";
}

void TProgramSettings::StoreStyleChoice(const std::string& chosenPath) {
    ActStyle = LastFolderName(chosenPath);
    styleFolder_ = folders_.styles / ActStyle / "";
    TIniFile ini = LoadFile();
    WriteText(ini, kSettingsSection, "ActStyle", ActStyle);
    SaveFile(ini);
}

TMaxPictureSize TProgramSettings::UpdateMaxPictureSize() {
    int width = 0;
    int height = 0;
    if (ParseInt(edMaxWidth, width)) maxSize_.width = width;
    if (ParseInt(edMaxHeight, height)) maxSize_.height = height;
    maxSize_.width = std::clamp(maxSize_.width, 32, 4096);
    maxSize_.height = std::clamp(maxSize_.height, 32, 4096);
    return maxSize_;
}

std::string TProgramSettings::ReadCdromPath() const {
    std::string path;
    ReadText(LoadFile(), kSettingsSection, "CDROMPATH", path);
    return path;
}

bool TProgramSettings::WriteCdromPath(const std::string& path) {
    TIniFile ini = LoadFile();
    WriteText(ini, kSettingsSection, "CDROMPATH", path);
    return SaveFile(ini);
}

TInviteFormFields TProgramSettings::LoadInviteFields() const {
    TIniFile ini = LoadFile();
    TInviteFormFields fields;
    ReadText(ini, kInviteSection, "edSender_Text", fields.edSender);
    ReadLines(ini, std::string(kInviteSection) + ".edText_Lines", fields.edText);
    ReadText(ini, kInviteSection, "edUrl_Text", fields.edUrl);
    ReadLines(ini, std::string(kInviteSection) + ".lbAddresses_Items", fields.lbAddresses);
    ReadText(ini, kInviteSection, "ServiceHost_Text", fields.ServiceHost);
    return fields;
}

bool TProgramSettings::SaveInviteFields(const TInviteFormFields& fields) {
    TIniFile ini = LoadFile();
    WriteText(ini, kInviteSection, "edSender_Text", fields.edSender);
    WriteLines(ini, std::string(kInviteSection) + ".edText_Lines", fields.edText);
    WriteText(ini, kInviteSection, "edUrl_Text", fields.edUrl);
    WriteLines(ini, std::string(kInviteSection) + ".lbAddresses_Items", fields.lbAddresses);
    WriteText(ini, kInviteSection, "ServiceHost_Text", fields.ServiceHost);
    return SaveFile(ini);
}

std::string TProgramSettings::TrustedCertificate(const std::string& hostPort) const {
    std::string fingerprint;
    ReadText(LoadFile(), kTrustedCertificatesSection, hostPort, fingerprint);
    return fingerprint;
}

bool TProgramSettings::StoreTrustedCertificate(const std::string& hostPort, const std::string& fingerprint) {
    TIniFile ini = LoadFile();
    WriteText(ini, kTrustedCertificatesSection, hostPort, fingerprint);
    return SaveFile(ini);
}

} // namespace vistrel
