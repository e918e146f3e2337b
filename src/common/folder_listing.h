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

// True when `path`, with every link resolved, is `folder` itself or lies below it (also resolved).
// False when either cannot be resolved.
bool LiesInside(const std::filesystem::path& path, const std::filesystem::path& folder);

// ListFolder for content that leaves the program: files that go into a site, onto a CD or to a
// server. An entry that is a symbolic link counts only when its target lies inside `within` (the
// style folder, the album's folder); a link to anything outside is left out, so that a style or an
// album restored from an archive cannot carry /etc/passwd or a private key along. `folder` itself
// must lie inside `within`, or the list is empty.
std::vector<std::string> ListFolderWithin(const std::filesystem::path& folder, EntryKind kind,
                                          const std::filesystem::path& within);

} // namespace vistrel
