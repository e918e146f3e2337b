#include "cli/cli_commands.h"

#include "cli/terminal_progress.h"
#include "site_generator/site_builder.h"

#include <ostream>

namespace vistrel::cli {

// Generates the site as "Vorschau" does, without a browser, and prints the start page.
int RunBuildSiteCommand(TProgramContext& context, const TCommandArgs& args, TCommandIo io) {
    if (!args.empty()) return 2;
    TTerminalSiteProgress progress(io.err);
    SiteHost host;
    TSiteResult result;
    try {
        result = GenerateSite(context, TSiteMode::Preview, progress, host);
    } catch (const std::exception& error) {
        io.err << "vistrel-cli: site generation failed: " << error.what() << '\n';
        return 1;
    }
    if (!result.startPageExists) {
        io.err << "vistrel-cli: no start page: no published album has pictures\n";
        return 1;
    }
    io.out << result.startPage.string() << '\n';
    return 0;
}

} // namespace vistrel::cli
