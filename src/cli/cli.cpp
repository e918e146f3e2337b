#include "cli/cli.h"

#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "cli/terminal_prompts.h"
#include "settings/program_folders.h"

#include <QCoreApplication>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <optional>

namespace vistrel::cli {
namespace {

// A command whose arguments have been parsed: what is left is to run it on the started context.
using TRunner = std::function<int(TProgramContext&, TCommandIo)>;
// Parses a command's arguments; nothing for a usage error.
using TParser = std::function<std::optional<TRunner>(const TCommandArgs&)>;

template <typename Args>
TParser Command(std::optional<Args> (*parse)(const TCommandArgs&),
                int (*run)(TProgramContext&, const Args&, TCommandIo)) {
    return [parse, run](const TCommandArgs& args) -> std::optional<TRunner> {
        std::optional<Args> parsed = parse(args);
        if (!parsed) return std::nullopt;
        return TRunner([run, parsed = std::move(*parsed)](TProgramContext& context, TCommandIo io) {
            return run(context, parsed, io);
        });
    };
}

const std::map<std::string, TParser>& Commands() {
    static const std::map<std::string, TParser> commands = {
        {"album-preview", Command(ParseAlbumPreviewArgs, RunAlbumPreview)},
        {"albums", Command(ParseAlbumsArgs, RunAlbums)},
        {"build-site", Command(ParseBuildSiteArgs, RunBuildSite)},
        {"cdrom", Command(ParseCdromArgs, RunCdrom)},
        {"copy-pictures", Command(ParseCopyPicturesArgs, RunTransferPictures)},
        {"delete-album", Command(ParseDeleteAlbumArgs, RunDeleteAlbum)},
        {"delete-pictures", Command(ParseDeletePicturesArgs, RunDeletePictures)},
        {"edit", Command(ParseEditArgs, RunEdit)},
        {"edit-album", Command(ParseEditAlbumArgs, RunEditAlbum)},
        {"import", Command(ParseImportArgs, RunImport)},
        {"invite", Command(ParseInviteArgs, RunInvite)},
        {"move-album", Command(ParseMoveAlbumArgs, RunMoveAlbum)},
        {"move-pictures", Command(ParseMovePicturesArgs, RunTransferPictures)},
        {"new-album", Command(ParseNewAlbumArgs, RunNewAlbum)},
        {"picture-info", Command(ParsePictureInfoArgs, RunPictureInfo)},
        {"pictures", Command(ParsePicturesArgs, RunPictures)},
        {"publish", Command(ParsePublishArgs, RunPublish)},
        {"publish-mark", Command(ParsePublishMarkArgs, RunPublishMark)},
        {"rotate", Command(ParseRotateArgs, RunRotate)},
        {"scan", Command(ParseScanArgs, RunScan)},
        {"settings", Command(ParseSettingsArgs, RunSettings)},
        {"style", Command(ParseStyleArgs, RunStyle)},
        {"styles", Command(ParseStylesArgs, RunStyles)},
    };
    return commands;
}

std::filesystem::path ExecutableFolder(const char* argv0) {
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) return self.parent_path();
    return std::filesystem::absolute(argv0).parent_path();
}

} // namespace

int RunCliWith(const std::vector<std::string>& args, const std::string& executableFolder, std::ostream& out,
               std::ostream& err) {
    auto options = ParseCommandLine(args);
    if (options && (options->command == "--help" || options->command == "help")) {
        out << kUsage;
        return 0;
    }
    auto command = options ? Commands().find(options->command) : Commands().end();
    if (command != Commands().end() && options->arguments.size() == 1 && options->arguments[0] == "--help") {
        out << CommandUsage(options->command);
        return 0;
    }
    std::optional<TRunner> runner;
    if (command != Commands().end()) runner = command->second(options->arguments);
    if (!runner) {
        err << kUsage;
        return 2;
    }
    // Only the default program folder is made when missing; a folder given on the command line must
    // exist, so that a typing error does not leave a new program folder somewhere.
    if (!options->programFolder.empty() && !std::filesystem::is_directory(options->programFolder)) {
        err << "vistrel-cli: program folder " << options->programFolder.string() << " does not exist\n";
        return 2;
    }
    std::filesystem::path folder =
        options->programFolder.empty() ? ResolveProgramFolder(executableFolder) : options->programFolder;
    TTerminalPrompts prompts;
    TProgramContext context(std::filesystem::absolute(folder), prompts);
    context.Start();
    int code = (*runner)(context, {out, err});
    // Like the window program at exit, every command leaves the album list saved.
    if (!context.SaveAtExit() && code == 0) code = 1;
    return code;
}

int RunCli(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    return RunCliWith(args, ExecutableFolder(argv[0]).string(), std::cout, std::cerr);
}

} // namespace vistrel::cli
