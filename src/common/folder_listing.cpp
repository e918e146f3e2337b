#include "common/folder_listing.h"

#include "common/cp1252.h"

#include <algorithm>

namespace vistrel {

namespace {

void SortNames(std::vector<std::string>& names) {
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        int order = AnsiCompareText(a, b);
        return order != 0 ? order < 0 : a < b;
    });
}

bool IsKind(const std::filesystem::directory_entry& entry, EntryKind kind) {
    std::error_code error;
    bool isFolder = entry.is_directory(error);
    bool isFile = !isFolder && entry.is_regular_file(error);
    return (kind == EntryKind::Folders && isFolder) || (kind == EntryKind::Files && isFile);
}

} // namespace

bool LiesInside(const std::filesystem::path& path, const std::filesystem::path& folder) {
    if (folder.empty()) return false;
    std::error_code error;
    const std::filesystem::path realFolder = std::filesystem::canonical(folder, error);
    if (error) return false;
    const std::filesystem::path realPath = std::filesystem::canonical(path, error);
    if (error) return false;
    const std::filesystem::path relative = realPath.lexically_relative(realFolder);
    return !relative.empty() && *relative.begin() != "..";
}

std::vector<std::string> ListFolderWithin(const std::filesystem::path& folder, EntryKind kind,
                                          const std::filesystem::path& within) {
    std::vector<std::string> names;
    if (!LiesInside(folder, within)) return names;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    if (ec) return names;
    for (const auto& entry : it) {
        if (!IsKind(entry, kind)) continue;
        // A plain entry of a folder inside `within` is inside too; only links need resolving.
        std::error_code linkError;
        if (entry.is_symlink(linkError) && !LiesInside(entry.path(), within)) continue;
        names.push_back(entry.path().filename().string());
    }
    SortNames(names);
    return names;
}

std::vector<std::string> ListFolder(const std::filesystem::path& folder, EntryKind kind) {
    std::vector<std::string> names;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    if (ec) return names;
    for (const auto& entry : it)
        if (IsKind(entry, kind)) names.push_back(entry.path().filename().string());
    SortNames(names);
    return names;
}

} // namespace vistrel
