#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vistrel::cli {

// The command line, parsed before anything acts on it.
struct TCliOptions {
    std::filesystem::path programFolder; // empty: the executable's folder
    std::string command;
    std::vector<std::string> arguments;
};

// Returns nothing for a command line that names no command or has an unknown option.
std::optional<TCliOptions> ParseCommandLine(const std::vector<std::string>& args);

extern const char* const kUsage;

// The lines of kUsage that describe `command`: its own line and the indented lines below it.
std::string CommandUsage(const std::string& command);

} // namespace vistrel::cli
