#pragma once
// The commands of vistrel-cli. Each command has its own arguments struct, a parser that checks the
// arguments before anything is started (nothing: a usage error, exit 2, nothing written), and a run
// function that gets the started program context and returns the exit code: 0 success, 1 failure.
#include "program/program_context.h"
#include "program/site_run.h"
#include "scanner/scan_job.h"

#include <iosfwd>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vistrel::cli {

struct TCommandIo {
    std::ostream& out;
    std::ostream& err;
};

using TCommandArgs = std::vector<std::string>;

struct TAlbumsArgs {
    bool json = false;
};
std::optional<TAlbumsArgs> ParseAlbumsArgs(const TCommandArgs& args);
int RunAlbums(TProgramContext& context, const TAlbumsArgs& args, TCommandIo io);

struct TImportArgs {
    std::string album; // a folder name or a 0-based index
    std::vector<std::string> files;
};
std::optional<TImportArgs> ParseImportArgs(const TCommandArgs& args);
int RunImport(TProgramContext& context, const TImportArgs& args, TCommandIo io);

struct TBuildSiteArgs {};
std::optional<TBuildSiteArgs> ParseBuildSiteArgs(const TCommandArgs& args);
int RunBuildSite(TProgramContext& context, const TBuildSiteArgs& args, TCommandIo io);

struct TCdromArgs {
    std::string target;
};
std::optional<TCdromArgs> ParseCdromArgs(const TCommandArgs& args);
int RunCdrom(TProgramContext& context, const TCdromArgs& args, TCommandIo io);

struct TPublishArgs {
    bool transferAll = false;      // ignore the transfer list
    bool deleteAll = false;        // empty the server folder first
    std::string trustCertificate;  // --trust-certificate: the SHA-256 fingerprint to trust
    bool allowUnencrypted = false; // --allow-unencrypted: a server without FTPS may be used in clear
    std::string trustHostKey;      // --trust-host-key: the SFTP host key fingerprint ("SHA256:...") to trust
};
std::optional<TPublishArgs> ParsePublishArgs(const TCommandArgs& args);
int RunPublish(TProgramContext& context, const TPublishArgs& args, TCommandIo io);

struct TEditArgs {
    std::string album;   // a folder name or a 0-based index
    std::string picture; // a file name of the album or a 0-based index
    std::vector<std::string> operations;
};
std::optional<TEditArgs> ParseEditArgs(const TCommandArgs& args);
int RunEdit(TProgramContext& context, const TEditArgs& args, TCommandIo io);

struct TInviteArgs {
    std::string album;
    std::string picture;
    bool test = false;              // "Testeinladung...": one card to the sender
    bool replaceRecipients = false; // --to given: these addresses instead of the stored list
    std::vector<std::string> to;
};
std::optional<TInviteArgs> ParseInviteArgs(const TCommandArgs& args);
int RunInvite(TProgramContext& context, const TInviteArgs& args, TCommandIo io);

// `scan --list`, or `scan ALBUM NAME [--device NAME] [--option NAME=VALUE]...`.
struct TScanArgs {
    bool list = false;
    std::string album;
    std::string name;
    TScanParams params;
};
std::optional<TScanArgs> ParseScanArgs(const TCommandArgs& args);
int RunScan(TProgramContext& context, const TScanArgs& args, TCommandIo io);

// `new-album TITLE [--info TEXT] [--text TEXT]`; texts are Windows-1252, the text with CR LF breaks.
struct TNewAlbumArgs {
    std::string title;
    std::string info;
    std::string text;
};
std::optional<TNewAlbumArgs> ParseNewAlbumArgs(const TCommandArgs& args);
int RunNewAlbum(TProgramContext& context, const TNewAlbumArgs& args, TCommandIo io);

// `edit-album ALBUM [--title TEXT] [--info TEXT] [--text TEXT]`: only the fields given change.
struct TEditAlbumArgs {
    std::string album;
    std::optional<std::string> title;
    std::optional<std::string> info;
    std::optional<std::string> text;
};
std::optional<TEditAlbumArgs> ParseEditAlbumArgs(const TCommandArgs& args);
int RunEditAlbum(TProgramContext& context, const TEditAlbumArgs& args, TCommandIo io);

struct TDeleteAlbumArgs {
    std::string album;
};
std::optional<TDeleteAlbumArgs> ParseDeleteAlbumArgs(const TCommandArgs& args);
int RunDeleteAlbum(TProgramContext& context, const TDeleteAlbumArgs& args, TCommandIo io);

// `move-album ALBUM up|down|POSITION` (POSITION 0-based).
struct TMoveAlbumArgs {
    std::string album;
    enum class TWhere { Up, Down, Position } where = TWhere::Position;
    int position = 0;
};
std::optional<TMoveAlbumArgs> ParseMoveAlbumArgs(const TCommandArgs& args);
int RunMoveAlbum(TProgramContext& context, const TMoveAlbumArgs& args, TCommandIo io);

struct TPublishMarkArgs {
    std::string album;
    bool published = false;
};
std::optional<TPublishMarkArgs> ParsePublishMarkArgs(const TCommandArgs& args);
int RunPublishMark(TProgramContext& context, const TPublishMarkArgs& args, TCommandIo io);

struct TAlbumPreviewArgs {
    std::string album;
    std::string picture;
};
std::optional<TAlbumPreviewArgs> ParseAlbumPreviewArgs(const TCommandArgs& args);
int RunAlbumPreview(TProgramContext& context, const TAlbumPreviewArgs& args, TCommandIo io);

struct TPicturesArgs {
    std::string album;
    bool json = false;
};
std::optional<TPicturesArgs> ParsePicturesArgs(const TCommandArgs& args);
int RunPictures(TProgramContext& context, const TPicturesArgs& args, TCommandIo io);

struct TDeletePicturesArgs {
    std::string album;
    std::vector<std::string> pictures;
};
std::optional<TDeletePicturesArgs> ParseDeletePicturesArgs(const TCommandArgs& args);
int RunDeletePictures(TProgramContext& context, const TDeletePicturesArgs& args, TCommandIo io);

struct TRotateArgs {
    std::string album;
    std::string picture;
    double degrees = 0; // as the window's actions: "Links 90°" -90, "Rechts 90°" 90
};
std::optional<TRotateArgs> ParseRotateArgs(const TCommandArgs& args);
int RunRotate(TProgramContext& context, const TRotateArgs& args, TCommandIo io);

struct TPictureInfoArgs {
    std::string album;
    std::string picture;
    std::optional<std::string> title;
    std::optional<std::string> text;
};
std::optional<TPictureInfoArgs> ParsePictureInfoArgs(const TCommandArgs& args);
int RunPictureInfo(TProgramContext& context, const TPictureInfoArgs& args, TCommandIo io);

// `copy-pictures` / `move-pictures SOURCE-ALBUM PICTURE... TARGET-ALBUM`: copy or cut, then paste at
// the end of the target album.
struct TTransferPicturesArgs {
    bool cut = false;
    std::string source;
    std::vector<std::string> pictures;
    std::string target;
};
std::optional<TTransferPicturesArgs> ParseCopyPicturesArgs(const TCommandArgs& args);
std::optional<TTransferPicturesArgs> ParseMovePicturesArgs(const TCommandArgs& args);
int RunTransferPictures(TProgramContext& context, const TTransferPicturesArgs& args, TCommandIo io);

// `settings [--json]`, `settings get KEY`, `settings set KEY VALUE`, `settings set-password`.
struct TSettingsArgs {
    enum class TAction { List, Get, Set, SetPassword } action = TAction::List;
    bool json = false;
    std::string key;
    std::string value; // as typed (UTF-8, "\n" for line breaks)
};
std::optional<TSettingsArgs> ParseSettingsArgs(const TCommandArgs& args);
int RunSettings(TProgramContext& context, const TSettingsArgs& args, TCommandIo io);

struct TStylesArgs {
    bool json = false;
};
std::optional<TStylesArgs> ParseStylesArgs(const TCommandArgs& args);
int RunStyles(TProgramContext& context, const TStylesArgs& args, TCommandIo io);

struct TStyleArgs {
    std::string name;
};
std::optional<TStyleArgs> ParseStyleArgs(const TCommandArgs& args);
int RunStyle(TProgramContext& context, const TStyleArgs& args, TCommandIo io);

// Command-line words: positional ones and "--name VALUE" options of `valueOptions` and flags of
// `flags`; nothing for an unknown option or one without its value.
struct TSplitArgs {
    std::vector<std::string> words;
    std::map<std::string, std::string> values;
    std::set<std::string> flags;
};
std::optional<TSplitArgs> SplitArgs(const TCommandArgs& args, const std::set<std::string>& valueOptions,
                                    const std::set<std::string>& flags = {});

// Text for one line of output: "\\" for a backslash, "\n" for a line break (CR LF or LF), "\t" for a tab.
std::string EscapeLine(const std::string& text);
// The reverse for typed text; line breaks become CR LF, as the memo fields store them. Real line
// breaks in the argument are taken as well.
std::string UnescapeLine(const std::string& text);
// A JSON string literal of UTF-8 text.
std::string JsonString(const std::string& utf8);

// The album named by `argument`, or -1 after "vistrel-cli: no album ..." on stderr.
int FindAlbumOrReport(const TAlbumList& albums, const std::string& argument, TCommandIo io);

// A FolderName (without regard to case) or else a 0-based index; -1 when it names no album.
int FindAlbum(const TAlbumList& albums, const std::string& argument);
// A FileName of the list (without regard to case) or else a 0-based index; -1 when it names none.
int FindPicture(const TPictureList& pictures, const std::string& argument);

// "Build the site, then act" for a command: the run, or its failure reported on stderr (English, as
// every message of this tool). `noSite` is the text when no published album has pictures.
std::optional<TSiteResult> BuildSiteFor(TProgramContext& context, TSiteMode mode, const std::string& noSite,
                                        TCommandIo io);

} // namespace vistrel::cli
