#include "cli/cli_commands.h"

#include "cli/terminal_progress.h"

#include <ostream>

namespace vistrel::cli {

std::optional<TSiteResult> BuildSiteFor(TProgramContext& context, TSiteMode mode, const std::string& noSite,
                                        TCommandIo io) {
    TTerminalSiteProgress progress(io.err);
    SiteHost host;
    TSiteRun run = BuildSite(context, mode, progress, host);
    switch (run.result.code) {
    case TSiteCode::Ok:
        return run.site;
    case TSiteCode::WriteFailed:
        io.err << "vistrel-cli: site generation failed: " << run.result.detail << '\n';
        return std::nullopt;
    case TSiteCode::NoStartPage:
        io.err << noSite << '\n';
        return std::nullopt;
    case TSiteCode::Cancelled:
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<TBuildSiteArgs> ParseBuildSiteArgs(const TCommandArgs& args) {
    if (!args.empty()) return std::nullopt;
    return TBuildSiteArgs{};
}

// Generates the site as "Vorschau" does, without a browser, and prints the start page.
int RunBuildSite(TProgramContext& context, const TBuildSiteArgs&, TCommandIo io) {
    auto site = BuildSiteFor(context, TSiteMode::Preview,
                             "vistrel-cli: no start page: no published album has pictures", io);
    if (!site) return 1;
    io.out << site->startPage.string() << '\n';
    // Pages cut short were reported as they happened; the site is there but not whole.
    return site->warnings.empty() ? 0 : 1;
}

} // namespace vistrel::cli
