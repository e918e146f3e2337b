#pragma once
// The commands of vistrel-cli. Each command has its own arguments struct, a parser that checks the
// arguments before anything is started (nothing: a usage error, exit 2, nothing written), and a run
// function that gets the started program context and returns the exit code: 0 success, 1 failure.
#include "program/program_context.h"
#include "program/site_run.h"
#include "scanner/scan_job.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace vistrel::cli {

struct TCommandIo {
    std::ostream& out;
    std::ostream& err;
};

using TCommandArgs = std::vector<std::string>;

struct TAlbumsArgs {};
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
    bool transferAll = false; // ignore the transfer list
    bool deleteAll = false;   // empty the server folder first
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

// A FolderName (without regard to case) or else a 0-based index; -1 when it names no album.
int FindAlbum(const TAlbumList& albums, const std::string& argument);
// A FileName of the list (without regard to case) or else a 0-based index; -1 when it names none.
int FindPicture(const TPictureList& pictures, const std::string& argument);

// "Build the site, then act" for a command: the run, or its failure reported on stderr (English, as
// every message of this tool). `noSite` is the text when no published album has pictures.
std::optional<TSiteResult> BuildSiteFor(TProgramContext& context, TSiteMode mode, const std::string& noSite,
                                        TCommandIo io);
int RunAlbumsCommand(TProgramContext& context, const TCommandArgs& args, TCommandIo io);
int RunBuildSiteCommand(TProgramContext& context, const TCommandArgs& args, TCommandIo io);
int RunCdromCommand(TProgramContext& context, const TCommandArgs& args, TCommandIo io);
int RunImportCommand(TProgramContext& context, const TCommandArgs& args, TCommandIo io);
int RunPublishCommand(TProgramContext& context, const TCommandArgs& args, TCommandIo io);

} // namespace vistrel::cli
