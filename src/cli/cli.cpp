#include "cli/cli.h"

#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "cli/terminal_prompts.h"
#include "app_shell/program_folders.h"

#include <QCoreApplication>
#include <filesystem>
#include <iostream>
#include <map>

namespace vistrel::cli {
namespace {

using TCommand = int (*)(TProgramContext&, const TCommandArgs&, TCommandIo);

const std::map<std::string, TCommand>& Commands() {
    static const std::map<std::string, TCommand> commands = {
        {"albums", RunAlbumsCommand},
        {"build-site", RunBuildSiteCommand},
        {"cdrom", RunCdromCommand},
        {"import", RunImportCommand},
        {"publish", RunPublishCommand},
        {"scan", RunScanCommand},
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
    if (command == Commands().end()) {
        err << kUsage;
        return 2;
    }
    std::filesystem::path folder = options->programFolder.empty() ? ResolveProgramFolder(executableFolder)
                                                                   : options->programFolder;
    TTerminalPrompts prompts;
    TProgramContext context(std::filesystem::absolute(folder), prompts);
    context.Start();
    int code = command->second(context, options->arguments, {out, err});
    if (code == 2) err << kUsage;
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
