#include "settings/program_folders.h"

#include <cstdlib>
#include <unistd.h>

namespace vistrel {
namespace {

std::filesystem::path HomeFolder() {
    const char* home = std::getenv("HOME");
    return home && *home ? std::filesystem::path(home) : std::filesystem::temp_directory_path();
}

// Copies a shipped data folder or file into the user's program folder, leaving files that are already
// there.
void CopyMissing(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code ec;
    if (!std::filesystem::exists(from, ec)) return;
    std::filesystem::create_directories(std::filesystem::is_directory(from, ec) ? to : to.parent_path(), ec);
    std::filesystem::copy(
        from, to, std::filesystem::copy_options::recursive | std::filesystem::copy_options::skip_existing,
        ec);
}

// The user's data folder of the desktop (XDG_DATA_HOME, normally ~/.local/share) with our folder in it.
// The trash is found the same way, so both follow a relocated data folder together.
std::filesystem::path UserProgramFolder() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    std::filesystem::path base =
        dataHome && *dataHome == '/' ? std::filesystem::path(dataHome) : HomeFolder() / ".local" / "share";
    return base / "vistrel";
}

// Fills the user's program folder with the shipped styles, scripts, help pages and the e-card service
// script (the help says it lies in the program folder). Files already there are kept, so the user's
// own changes survive while styles added by an update still arrive.
std::filesystem::path FillUserProgramFolder(const std::filesystem::path& shipped) {
    std::filesystem::path user = UserProgramFolder();
    for (const char* name : {"styles", "scripts", "HTML", "sendpostcard.pl"})
        CopyMissing(shipped / name, user / name);
    return user;
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

std::filesystem::path EditorPlacementFile() {
    return HomeFolder() / ".config" / "vistrel.INI";
}

std::filesystem::path InstalledDataFolder(const std::filesystem::path& executableFolder) {
    return (executableFolder / ".." / "share" / "vistrel").lexically_normal();
}

std::filesystem::path ResolveProgramFolder(const std::filesystem::path& executableFolder) {
    // The shipped styles beside bin/ mark an installed program. Its bin/ may well be writable (a root
    // session, a staging folder), but the albums of a user never belong there.
    std::error_code ec;
    std::filesystem::path installed = InstalledDataFolder(executableFolder);
    if (std::filesystem::is_directory(installed / "styles", ec)) return FillUserProgramFolder(installed);
    if (::access(executableFolder.c_str(), W_OK) == 0) return executableFolder;
    return FillUserProgramFolder(executableFolder);
}

bool CreateAlbumFolderIfMissing(const TProgramFolders& folders) {
    std::error_code ec;
    if (std::filesystem::is_directory(folders.albums, ec)) return true;
    std::filesystem::create_directories(folders.albums, ec);
    return !ec;
}

} // namespace vistrel
