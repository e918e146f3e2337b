#include "cli/cli_commands.h"

#include "cli/terminal_progress.h"
#include "common/cp1252.h"
#include "site_generator/cdrom_export.h"
#include "site_generator/site_builder.h"

#include <ostream>

namespace vistrel::cli {

// Generates the site for publishing, then does what the CD-ROM dialog's "Ok" does with TARGET typed
// into its folder field.
int RunCdromCommand(TProgramContext& context, const TCommandArgs& args, TCommandIo io) {
    if (args.size() != 1) return 2;
    TTerminalSiteProgress siteProgress(io.err);
    SiteHost host;
    TSiteResult site;
    try {
        site = GenerateSite(context, TSiteMode::Publish, siteProgress, host);
    } catch (const std::exception& error) {
        io.err << "vistrel-cli: site generation failed: " << error.what() << '\n';
        return 1;
    }
    if (!site.startPageExists || site.cancelled) {
        io.err << "vistrel-cli: nothing to copy: no published album has pictures\n";
        return 1;
    }
    TCdromFolderList folders = BuildCdromFolderList(context.albums);
    TCdromSummary summary = CountCdromFiles(folders);
    io.err << AnsiToUtf8(CdromSummaryText(summary, ',')) << '\n';
    std::string target = Utf8ToAnsi(args[0]);
    TTerminalCdromProgress copyProgress(io.err);
    TCdromOutcome outcome = CopyCdromFiles(folders, target, summary.files, copyProgress, context.settings);
    std::string message = AnsiToUtf8(CdromOutcomeMessage(outcome, target));
    if (outcome != TCdromOutcome::Copied) {
        io.err << message << '\n';
        return 1;
    }
    io.out << message << '\n';
    return 0;
}

} // namespace vistrel::cli
