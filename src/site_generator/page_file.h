#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace vistrel {

// Writes a generated page: every line followed by CR LF, into a temporary file in the same folder that
// is then renamed over the page, so a failure (a full disk, a folder in the way) never leaves half a
// page. Throws EFileWriteError.
//
// Unlike WriteFileAtomic this does not flush each page to the disk before the rename: a site is
// thousands of pages that every run writes anew from the albums, so a page lost to a power cut costs
// nothing but the next run, while one fsync per page made a 10,000-page site take over a minute
// instead of seconds.
void WritePageFile(const std::filesystem::path& file, const std::vector<std::string>& lines);

} // namespace vistrel
