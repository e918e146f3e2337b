#pragma once
// vistrel-cli run in the test's own process, as a user would call it, with its two output streams
// caught. Header only: test_support itself does not link the CLI.
#include "cli/cli.h"

#include <sstream>
#include <string>
#include <vector>

namespace vistrel::testing {

// The executable's folder is one that does not exist, so every test names its program folder.
inline int RunCliCaptured(const std::vector<std::string>& args, std::string& out, std::string& err) {
    std::ostringstream o, e;
    int code = cli::RunCliWith(args, "/nonexistent", o, e);
    out = o.str();
    err = e.str();
    return code;
}

} // namespace vistrel::testing
