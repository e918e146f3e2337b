#pragma once
// Every user setting, named after the settings dialog's field that edits it, plus the selected style.
// Text is Windows-1252 bytes as stored. Numbers are kept as the text the user typed; each reader
// converts them. Loaded once at start-up; the settings dialog edits this object in place.
#include "settings/program_folders.h"
#include "settings/window_placement.h"

#include <string>
#include <vector>

namespace vistrel {

class UserPrompts;

struct TMaxPictureSize {
    int width = 0;
    int height = 0;
};

// The invitation dialog's stored fields: section "TInviteForm" and its two line sections.
struct TInviteFormFields {
    std::string edSender;
    std::vector<std::string> edText;
    std::string edUrl;
    std::vector<std::string> lbAddresses;
    // "host" or "host:port" of the e-card service; empty means the host of edUrl.
    std::string ServiceHost;
};

class TProgramSettings {
public:
    TProgramSettings(const TProgramFolders& folders, UserPrompts& prompts);

    // The dialog's settings; setting_table.cpp describes each (stored key, default, page, rule), and
    // the constructor sets them to their defaults.
    // Info
    std::vector<std::string> edImpressum;
    std::string edSiteTitle;
    std::string edEmail;
    // Hauptseite
    std::vector<std::string> edIndexText1;
    std::vector<std::string> edIndexText2;
    std::string edFootnote;
    // Bildimport
    bool cbAutoSize{};
    std::string edMaxWidth;
    std::string edMaxHeight;
    bool cbDontEnlarge{};
    bool cbJPEGNoReCompress{};
    bool cbGamma{};
    std::string edGamma;
    int rgQuality{};
    std::string edLargeSize; // the large version's longer side for HiDPI screens; "0" makes none
    // Veröffentlichen
    bool cpUseFTP{};
    std::string edFTPServer;
    std::string edFTPUser;
    std::string edFTPPassword;
    std::string edFTPDirectory;
    std::string edFTPPort;
    bool cbUsePassiveMode{};
    bool cbCheckServer{};
    bool cbUseTLS{};
    bool cbRequireTLS{};
    bool cbParallelUploads{}; // up to four sessions send a folder's files side by side
    int rgProtocol{};         // 0 FTP (FTPS through cbUseTLS), 1 SFTP
    std::string edSSHKeyFile; // SFTP: a private key file; empty: ssh-agent and ~/.ssh's keys
    // Sonstiges
    std::string edNoOfThumbs;
    int rgOverwriteFiles{};
    bool cbAllowInvitations{};
    // Not edited by the dialog: the selected style's folder name (not a path).
    std::string ActStyle;

    // The settings dialog's own placement, saved and loaded with the settings.
    TWindowPlacement settingsFormPlacement;
    TLoadedPlacement loadedSettingsFormPlacement;
    // The screen that placements are read for and written on; the GUI keeps it current.
    TScreenInfo screen;

    const TProgramFolders& Folders() const { return folders_; }

    // Reads section "TSettingsForm" with its lines sections and "FTPPassword". Nothing is read when
    // the stored "FormVersion" is below 0.
    void Load();
    // Writes in the stored order. On failure shows "In %s kann nicht geschrieben werden" and returns
    // false; the previous file stays intact.
    bool Save();
    // Discards what the dialog changed since the last save.
    void Revert() { Load(); }

    // The main window's placement and the album tree's width, section "VEzarIzaraRuzaZeza".
    TLoadedPlacement LoadMainPlacement(int& treeWidth) const;
    bool SaveMainPlacement(const TWindowPlacement& placement, int treeWidth);

    // Start-up: reads "ActStyle" and works out the current style folder (with a trailing "/").
    void ResolveStyle();
    // The style dialog's choice (a path or a name); written at once as "ActStyle".
    void StoreStyleChoice(const std::string& chosenPath);
    const std::filesystem::path& CurrentStyleFolder() const { return styleFolder_; }

    // Converts edMaxWidth/edMaxHeight; a text that is not a whole number keeps the previous number of
    // that dimension (0 before the first success); both clamped to 32..4096.
    TMaxPictureSize UpdateMaxPictureSize();
    TMaxPictureSize MaxPictureSize() const { return maxSize_; }

    // "CDROMPATH", read and written on its own by the CD-ROM export.
    std::string ReadCdromPath() const;
    bool WriteCdromPath(const std::string& path);

    // The invitation dialog's fields; a key that is missing leaves the field empty.
    TInviteFormFields LoadInviteFields() const;
    bool SaveInviteFields(const TInviteFormFields& fields);

    // Section "TrustedCertificates": the SHA-256 fingerprint (64 upper-case hex digits) the user
    // trusted for a server, one key per "host:port". Read and written on their own.
    std::string TrustedCertificate(const std::string& hostPort) const;
    bool StoreTrustedCertificate(const std::string& hostPort, const std::string& fingerprint);
    // Section "UnencryptedServers": "host:port=1" when the user allowed that server to be used
    // without encryption because it offers none.
    bool AllowsUnencrypted(const std::string& hostPort) const;
    bool StoreAllowUnencrypted(const std::string& hostPort);

    // Reads and writes a value of any other section by the same rules (the invitation dialog's fields).
    TIniFile LoadFile() const;
    bool SaveFile(const TIniFile& ini);

private:
    std::string FirstStyleName();

    TProgramFolders folders_;
    UserPrompts& prompts_;
    std::filesystem::path styleFolder_;
    TMaxPictureSize maxSize_;
};

// The FTP password's stored form: each byte XOR the key "ZEK Marnholdtine" as two upper-case hex digits.
std::string ScramblePassword(const std::string& password);
std::string UnscramblePassword(const std::string& scrambled);

// Encodings of the settings file shared by every section.
namespace settings_codec {
// A value that begins and ends with the same quote character gets one more pair of double quotes, so
// the reader's quote removal gives it back unchanged. Text values are trimmed first.
std::string QuoteValue(const std::string& value);
void WriteText(TIniFile& ini, std::string_view section, std::string_view key, const std::string& value);
void ReadText(const TIniFile& ini, std::string_view section, std::string_view key, std::string& value);
void WriteFlag(TIniFile& ini, std::string_view section, std::string_view key, bool value);
void ReadFlag(const TIniFile& ini, std::string_view section, std::string_view key, bool& value);
void WriteNumber(TIniFile& ini, std::string_view section, std::string_view key, int value);
void ReadNumber(const TIniFile& ini, std::string_view section, std::string_view key, int& value);
// A lines setting is a section of its own: "Count" and "Item0".."ItemN-1"; absent when empty.
void WriteLines(TIniFile& ini, const std::string& section, const std::vector<std::string>& lines);
void ReadLines(const TIniFile& ini, const std::string& section, std::vector<std::string>& lines);
} // namespace settings_codec

inline constexpr const char* kSettingsSection = "TSettingsForm";
inline constexpr const char* kTrustedCertificatesSection = "TrustedCertificates";
inline constexpr const char* kUnencryptedServersSection = "UnencryptedServers";
inline constexpr const char* kMainWindowSection = "VEzarIzaraRuzaZeza";
inline constexpr const char* kInviteSection = "TInviteForm";

} // namespace vistrel
