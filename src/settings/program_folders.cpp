#include "settings/program_folders.h"

#include <cstdlib>
#include <unistd.h>

namespace vistrel {
namespace {

std::filesystem::path HomeFolder() {
    const char* home = std::getenv("HOME");
    return home && *home ? std::filesystem::path(home) : std::filesystem::temp_directory_path();
}

// Copies a shipped data folder into the user's program folder, leaving files that are already there.
void CopyMissing(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code ec;
    if (!std::filesystem::is_directory(from, ec)) return;
    std::filesystem::create_directories(to, ec);
    std::filesystem::copy(from, to, std::filesystem::copy_options::recursive |
                                        std::filesystem::copy_options::skip_existing, ec);
}

} // namespace

TProgramFolders TProgramFolders::For(const std::filesystem::path& programFolder) {
    TProgramFolders folders;
    folders.program = programFolder;
    folders.albums = programFolder / "galleries";
    folders.styles = programFolder / "styles";
    folders.scripts = programFolder / "scripts";
    folders.help = programFolder / "HTML";
    return folders;
}

std::filesystem::path EditorPlacementFile() { return HomeFolder() / ".config" / "vistrel.INI"; }

std::filesystem::path ResolveProgramFolder(const std::filesystem::path& executableFolder) {
    if (::access(executableFolder.c_str(), W_OK) == 0) return executableFolder;
    std::filesystem::path user = HomeFolder() / ".local" / "share" / "vistrel";
    for (const char* name : {"styles", "scripts", "HTML"}) CopyMissing(executableFolder / name, user / name);
    return user;
}

bool CreateAlbumFolderIfMissing(const TProgramFolders& folders) {
    std::error_code ec;
    if (std::filesystem::is_directory(folders.albums, ec)) return true;
    std::filesystem::create_directories(folders.albums, ec);
    return !ec;
}

} // namespace vistrel
