#include "common/folder_listing.h"

#include "common/cp1252.h"

#include <algorithm>

namespace vistrel {

std::vector<std::string> ListFolder(const std::filesystem::path& folder, EntryKind kind) {
    std::vector<std::string> names;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    if (ec) return names;
    for (const auto& entry : it) {
        std::error_code typeError;
        bool isFolder = entry.is_directory(typeError);
        bool isFile = !isFolder && entry.is_regular_file(typeError);
        if ((kind == EntryKind::Folders && isFolder) || (kind == EntryKind::Files && isFile))
            names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        int order = AnsiCompareText(a, b);
        return order != 0 ? order < 0 : a < b;
    });
    return names;
}

} // namespace vistrel
