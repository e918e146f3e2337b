#include "publishing/upload_plan.h"

#include "album_library/album_list.h"
#include "album_library/program_list_files.h"
#include "common/cp1252.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace vistrel {
namespace fs = std::filesystem;

namespace {

std::string FolderText(const fs::path& folder) {
    std::string text = folder.string();
    if (text.empty() || text.back() != '/') text += '/';
    return text;
}

// True when `child` is a real folder directly inside `parent`: a link to a folder elsewhere would
// let outside files reach the server.
bool ResolvesInside(const fs::path& parent, const fs::path& child) {
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(child, ec))) return false;
    fs::path realParent = fs::weakly_canonical(parent, ec);
    if (ec) return false;
    fs::path realChild = fs::weakly_canonical(child, ec);
    return !ec && realChild.parent_path() == realParent;
}

} // namespace

TUploadPlan BuildUploadPlan(const TAlbumList& albums) {
    TUploadPlan plan;
    plan.localRoot = FolderText(albums.AlbumFolder());
    plan.folders.push_back(plan.localRoot);
    for (const TAlbumEntry& album : albums.Albums()) {
        if (!album.Published || !IsPlainFolderName(album.FolderName)) continue;
        const fs::path albumFolder = albums.AlbumFolder() / album.FolderName;
        std::string folder = plan.localRoot + album.FolderName + "/";
        // An album folder that is a link to a folder elsewhere is not part of the site.
        if (!IsAlbumFolderInside(folder, albums.AlbumFolder())) continue;
        plan.folders.push_back(folder);
        for (const char* sub : {"images", "thumbs"})
            if (!fs::exists(albumFolder / sub) || ResolvesInside(albumFolder, albumFolder / sub))
                plan.folders.push_back(folder + sub + "/");
    }
    return plan;
}

std::string RemoteFolderFor(const std::string& localRoot, const std::string& remoteRoot,
                            const std::string& folder) {
    std::string relative =
        folder.size() > localRoot.size() ? folder.substr(localRoot.size(), 65000) : std::string();
    std::string remote = remoteRoot + relative;
    std::replace(remote.begin(), remote.end(), '\\', '/');
    return remote;
}

std::string WithTrailingSlash(std::string remoteRoot) {
    if (remoteRoot.empty() || remoteRoot.back() != '/') remoteRoot += '/';
    return remoteRoot;
}

std::string NextPathPart(std::string& path) {
    size_t start = path.find_first_not_of('/');
    if (start == std::string::npos) {
        path.clear();
        return {};
    }
    path.erase(0, start);
    size_t slash = path.find('/');
    if (slash == std::string::npos) {
        std::string rest = std::move(path);
        path.clear();
        return rest;
    }
    std::string part = path.substr(0, slash);
    path.erase(0, slash + 1);
    return part;
}

std::vector<std::string> RemoteFolderParts(std::string path) {
    std::vector<std::string> parts;
    if (path.empty() || static_cast<unsigned char>(path[0]) < '!') return parts;
    std::replace(path.begin(), path.end(), '\\', '/');
    for (std::string part = NextPathPart(path); !part.empty(); part = NextPathPart(path))
        parts.push_back(part);
    return parts;
}

TFolderFiles ListPlanFolder(const std::string& folder) {
    TFolderFiles files;
    std::error_code ec;
    fs::directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        // Only regular files go: a link (to a file or a folder) may point anywhere outside.
        std::error_code typeError;
        if (!it->is_regular_file(typeError) || it->is_symlink(typeError)) continue;
        std::error_code sizeError;
        auto size = it->file_size(sizeError);
        if (!sizeError) files.bytes += static_cast<int64_t>(size);
        if (name.empty() || name[0] == '.') continue; // hidden
        if (IsProgramListFile(name)) continue;
        files.names.push_back(name);
    }
    std::sort(files.names.begin(), files.names.end(),
              [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; });
    return files;
}

std::vector<std::string> ProgramFilesSentFrom(const std::vector<std::string>& oldLines,
                                              const std::string& localFolder) {
    std::vector<std::string> names;
    for (const std::string& line : oldLines) {
        std::string path = line.substr(0, line.find('\t'));
        if (path.size() <= localFolder.size() || path.compare(0, localFolder.size(), localFolder) != 0)
            continue;
        std::string name = path.substr(localFolder.size());
        if (name.find('/') == std::string::npos && IsProgramListFile(name)) names.push_back(name);
    }
    return names;
}

int64_t LocalFileSize(const std::string& path) {
    std::error_code ec;
    auto size = fs::file_size(path, ec);
    return ec ? -1 : static_cast<int64_t>(size);
}

std::string FixedText(double value, int decimals, char decimalSeparator) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    std::string text = buffer;
    std::replace(text.begin(), text.end(), '.', decimalSeparator);
    return text;
}

} // namespace vistrel
