#pragma once

namespace vistrel::cli {

// Entry point of vistrel-cli; returns the process exit code.
int RunCli(int argc, char** argv);

} // namespace vistrel::cli
