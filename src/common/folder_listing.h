#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace vistrel {

enum class EntryKind { Files, Folders };

// Names of the entries of a folder (no "." or ".."), sorted by name without regard to case so that
// every machine lists in the same order. Symbolic links count by what they point to. A folder that
// cannot be listed gives an empty list.
std::vector<std::string> ListFolder(const std::filesystem::path& folder, EntryKind kind);

} // namespace vistrel
