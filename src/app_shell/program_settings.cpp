#include "app_shell/program_settings.h"

#include "common/atomic_file.h"
#include "common/cp1252.h"
#include "common/folder_listing.h"
#include "common/numbers.h"
#include "common/text_utils.h"
#include "common/user_prompts.h"

#include <algorithm>

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
    for (size_t i = 0; i < lines.size(); ++i) WriteText(ini, section, "Item" + std::to_string(i), lines[i]);
}

void ReadLines(const TIniFile& ini, const std::string& section, std::vector<std::string>& lines) {
    int count = 0;
    ReadNumber(ini, section, "Count", count);
    if (count <= 0) return;
    std::vector<std::string> result;
    // A hostile Count must not make us allocate for billions of lines that are not there.
    result.reserve(static_cast<size_t>(std::min(count, 4096)));
    for (int i = 0; i < count; ++i) result.push_back(ini.ReadString(section, "Item" + std::to_string(i), ""));
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

TIniFile TProgramSettings::LoadFile() const { return TIniFile::Load(folders_.SettingsFile()); }

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

void TProgramSettings::Load() {
    TIniFile ini = LoadFile();
    const char* s = kSettingsSection;
    if (!SectionLoadAllowed(ini, s)) return;
    loadedSettingsFormPlacement = ReadPlacement(ini, s, screen);
    settingsFormPlacement = loadedSettingsFormPlacement.placement;
    ReadFlag(ini, s, "cbAutoSize_Checked", cbAutoSize);
    ReadFlag(ini, s, "cbDontEnlarge_Checked", cbDontEnlarge);
    ReadText(ini, s, "edFTPServer_Text", edFTPServer);
    ReadText(ini, s, "edFTPUser_Text", edFTPUser);
    ReadText(ini, s, "edMaxHeight_Text", edMaxHeight);
    ReadText(ini, s, "edMaxWidth_Text", edMaxWidth);
    ReadText(ini, s, "edFTPDirectory_Text", edFTPDirectory);
    ReadFlag(ini, s, "cbGamma_Checked", cbGamma);
    ReadFlag(ini, s, "cbJPEGNoReCompress_Checked", cbJPEGNoReCompress);
    ReadText(ini, s, "edGamma_Text", edGamma);
    ReadLines(ini, LinesSection("edImpressum"), edImpressum);
    ReadText(ini, s, "edEmail_Text", edEmail);
    ReadText(ini, s, "edSiteTitle_Text", edSiteTitle);
    ReadLines(ini, LinesSection("edIndexText1"), edIndexText1);
    ReadLines(ini, LinesSection("edIndexText2"), edIndexText2);
    ReadText(ini, s, "edFootnote_Text", edFootnote);
    ReadFlag(ini, s, "cpUseFTP_Checked", cpUseFTP);
    ReadText(ini, s, "edNoOfThumbs_Text", edNoOfThumbs);
    ReadNumber(ini, s, "rgQuality_ItemIndex", rgQuality);
    ReadText(ini, s, "edFTPPort_Text", edFTPPort);
    ReadFlag(ini, s, "cbUsePassiveMode_Checked", cbUsePassiveMode);
    ReadNumber(ini, s, "rgOverwriteFiles_ItemIndex", rgOverwriteFiles);
    ReadFlag(ini, s, "cbCheckServer_Checked", cbCheckServer);
    ReadFlag(ini, s, "cbAllowInvitations_Checked", cbAllowInvitations);
    if (auto stored = ini.Read(s, "FTPPassword")) edFTPPassword = UnscramblePassword(*stored);
}

bool TProgramSettings::Save() {
    TIniFile ini = LoadFile();
    const char* s = kSettingsSection;
    WritePlacement(ini, s, settingsFormPlacement, screen);
    WriteFlag(ini, s, "cbAutoSize_Checked", cbAutoSize);
    WriteFlag(ini, s, "cbDontEnlarge_Checked", cbDontEnlarge);
    WriteText(ini, s, "edFTPServer_Text", edFTPServer);
    WriteText(ini, s, "edFTPUser_Text", edFTPUser);
    WriteText(ini, s, "edMaxHeight_Text", edMaxHeight);
    WriteText(ini, s, "edMaxWidth_Text", edMaxWidth);
    WriteText(ini, s, "edFTPDirectory_Text", edFTPDirectory);
    WriteFlag(ini, s, "cbGamma_Checked", cbGamma);
    WriteFlag(ini, s, "cbJPEGNoReCompress_Checked", cbJPEGNoReCompress);
    WriteText(ini, s, "edGamma_Text", edGamma);
    WriteLines(ini, LinesSection("edImpressum"), edImpressum);
    WriteText(ini, s, "edEmail_Text", edEmail);
    WriteText(ini, s, "edSiteTitle_Text", edSiteTitle);
    WriteLines(ini, LinesSection("edIndexText1"), edIndexText1);
    WriteLines(ini, LinesSection("edIndexText2"), edIndexText2);
    WriteText(ini, s, "edFootnote_Text", edFootnote);
    WriteFlag(ini, s, "cpUseFTP_Checked", cpUseFTP);
    WriteText(ini, s, "edNoOfThumbs_Text", edNoOfThumbs);
    WriteNumber(ini, s, "rgQuality_ItemIndex", rgQuality);
    WriteText(ini, s, "edFTPPort_Text", edFTPPort);
    WriteFlag(ini, s, "cbUsePassiveMode_Checked", cbUsePassiveMode);
    WriteNumber(ini, s, "rgOverwriteFiles_ItemIndex", rgOverwriteFiles);
    WriteFlag(ini, s, "cbCheckServer_Checked", cbCheckServer);
    WriteFlag(ini, s, "cbAllowInvitations_Checked", cbAllowInvitations);
    WriteText(ini, s, "FTPPassword", ScramblePassword(edFTPPassword));
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
    auto styles = ListFolder(folders_.styles, EntryKind::Folders);
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
    std::error_code ec;
    if (name.empty() || !std::filesystem::is_directory(folders_.styles / name, ec)) name = FirstStyleName();
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

} // namespace vistrel
