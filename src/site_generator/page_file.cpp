#include "site_generator/page_file.h"

#include "common/atomic_file.h"
#include "common/line_file.h"

namespace vistrel {

void WritePageFile(const std::filesystem::path& file, const std::vector<std::string>& lines) {
    WriteFileAtomic(file, JoinLines(lines), TDurability::Unsynced);
}

} // namespace vistrel
