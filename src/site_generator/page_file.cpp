#include "site_generator/page_file.h"

#include "common/atomic_file.h"
#include "common/line_file.h"

namespace vistrel {

namespace fs = std::filesystem;

namespace {

// Whether `file` is a plain file (not a link) that holds exactly `bytes`.
bool HoldsAlready(const fs::path& file, const std::string& bytes) {
    std::error_code ec;
    if (!fs::is_regular_file(fs::symlink_status(file, ec)) || ec) return false;
    if (fs::file_size(file, ec) != bytes.size() || ec) return false;
    std::string old;
    return ReadFileBytes(file, old) && old == bytes;
}

} // namespace

void WritePageFile(const fs::path& file, const std::vector<std::string>& lines) {
    std::string bytes = JoinLines(lines);
    if (HoldsAlready(file, bytes)) return;
    WriteFileAtomic(file, bytes, TDurability::Unsynced);
}

} // namespace vistrel
