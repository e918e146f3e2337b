#pragma once
#include <iosfwd>
#include <string>
#include <vector>

namespace vistrel::cli {

// Entry point of vistrel-cli; returns the process exit code.
int RunCli(int argc, char** argv);

// The same with the arguments after the program name and the streams given, for tests.
// `executableFolder` is the program folder when no --program-folder is given.
int RunCliWith(const std::vector<std::string>& args, const std::string& executableFolder, std::ostream& out,
               std::ostream& err);

} // namespace vistrel::cli
