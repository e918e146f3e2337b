#include "cli/cli.h"

#include <cstdio>

namespace vistrel::cli {

int RunCli(int, char**) {
    std::fputs("usage: vistrel-cli [--program-folder DIR] COMMAND\n", stderr);
    return 2;
}

} // namespace vistrel::cli
