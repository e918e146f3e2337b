#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace vistrel {

// Writes a generated page: every line followed by CR LF, replacing the page atomically but without
// flushing it to the disk (see TDurability). A page that holds these bytes already is left as it is,
// time included, so a rebuild costs no writes and the upload sees nothing new. Throws
// EFileWriteError.
void WritePageFile(const std::filesystem::path& file, const std::vector<std::string>& lines);

} // namespace vistrel
