#include "cli/cli_commands.h"

#include "cli/terminal_progress.h"
#include "common/cp1252.h"
#include "site_generator/cdrom_export.h"

#include <ostream>

namespace vistrel::cli {

// Generates the site for publishing, then does what the CD-ROM dialog's "Ok" does with TARGET typed
// into its folder field.
std::optional<TCdromArgs> ParseCdromArgs(const TCommandArgs& args) {
    if (args.size() != 1) return std::nullopt;
    return TCdromArgs{args[0]};
}

int RunCdrom(TProgramContext& context, const TCdromArgs& args, TCommandIo io) {
    if (!BuildSiteFor(context, TSiteMode::Publish,
                      "vistrel-cli: nothing to copy: no published album has pictures", io))
        return 1;
    TCdromFolderList folders = BuildCdromFolderList(context.albums);
    TCdromSummary summary = CountCdromFiles(folders);
    io.err << AnsiToUtf8(CdromSummaryText(summary, ',')) << '\n';
    std::string target = Utf8ToAnsi(args.target);
    TTerminalCdromProgress copyProgress(io.err);
    TCdromResult result = CopyCdromFiles({folders, target, summary.files, context.settings}, copyProgress);
    std::string message = AnsiToUtf8(CdromOutcomeMessage(result.code, target));
    if (!result.Ok()) {
        io.err << message << '\n';
        if (!result.detail.empty()) io.err << result.detail << '\n';
        return 1;
    }
    io.out << message << '\n';
    return 0;
}

} // namespace vistrel::cli
