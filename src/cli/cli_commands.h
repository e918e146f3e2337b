#pragma once
// The commands of vistrel-cli. Each gets the started program context and its arguments and returns
// the exit code: 0 success, 1 failure of the job, 2 bad arguments.
#include "album_library/program_context.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace vistrel::cli {

struct TCommandIo {
    std::ostream& out;
    std::ostream& err;
};

using TCommandArgs = std::vector<std::string>;

int RunAlbumsCommand(TProgramContext& context, const TCommandArgs& args, TCommandIo io);
int RunBuildSiteCommand(TProgramContext& context, const TCommandArgs& args, TCommandIo io);
int RunCdromCommand(TProgramContext& context, const TCommandArgs& args, TCommandIo io);
int RunImportCommand(TProgramContext& context, const TCommandArgs& args, TCommandIo io);
int RunPublishCommand(TProgramContext& context, const TCommandArgs& args, TCommandIo io);
int RunScanCommand(TProgramContext& context, const TCommandArgs& args, TCommandIo io);

} // namespace vistrel::cli
