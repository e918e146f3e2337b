#pragma once
// Line files: the program's text files are Windows-1252 with CR LF. Reading accepts CR, LF or CR LF
// as the end of a line; writing ends every line with CR LF.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel {

std::vector<std::string> SplitLines(std::string_view bytes);
// Every line followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);

// Returns false when the file cannot be read; `lines` is then empty.
bool ReadLineFile(const std::filesystem::path& path, std::vector<std::string>& lines);
// The program's own list files (album list, picture lists, settings, transfer list): read only when
// the file itself is a regular file. A symbolic link, as an archive may bring one back, counts as
// missing, so that no outside file is read as a list; the next save replaces the link, never its
// target.
bool ReadListFile(const std::filesystem::path& path, std::vector<std::string>& lines);
// Atomic (see WriteFileAtomic); throws EFileWriteError.
void WriteLineFile(const std::filesystem::path& path, const std::vector<std::string>& lines);

} // namespace vistrel
