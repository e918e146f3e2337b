#include "album_library/program_list_files.h"

#include "common/cp1252.h"

namespace vistrel {

bool IsProgramListFile(const std::string& name) {
    for (const char* own : {"info.txt", "transfer.lst", "vistrel.ini", "filelist.$$$"})
        if (AnsiSameText(name, own)) return true;
    return false;
}

} // namespace vistrel
