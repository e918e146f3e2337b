#pragma once
#include <filesystem>

namespace vistrel {

// The program's fixed folders, worked out once at start-up from the program folder. Every path is a
// folder path without a trailing separator; callers join with "/".
struct TProgramFolders {
    std::filesystem::path program; // settings file, help pages
    std::filesystem::path albums;  // "galleries": every album
    std::filesystem::path styles;  // "styles": one folder per style
    std::filesystem::path scripts; // "scripts": ".JS" files that templates include
    std::filesystem::path help;    // "HTML": the help pages

    static TProgramFolders For(const std::filesystem::path& programFolder);

    std::filesystem::path SettingsFile() const { return program / "vistrel.ini"; }
    std::filesystem::path TransferList() const { return program / "transfer.lst"; }
};

// The picture editor's placement file lives in the user's configuration folder (~/.config).
std::filesystem::path EditorPlacementFile();

// Where an installed program keeps its shipped data: <prefix>/share/vistrel beside <prefix>/bin.
std::filesystem::path InstalledDataFolder(const std::filesystem::path& executableFolder);

// The program folder is the executable's folder (a portable install, such as the build's app/ folder).
// An installed program (shipped data in InstalledDataFolder) or one whose folder cannot be written
// uses the user's data folder instead ($XDG_DATA_HOME/vistrel, normally ~/.local/share/vistrel), which
// receives a copy of the default styles, scripts and help pages that are missing there.
std::filesystem::path ResolveProgramFolder(const std::filesystem::path& executableFolder);

// Creates the album folder with missing parents when it is missing. Returns false on failure.
bool CreateAlbumFolderIfMissing(const TProgramFolders& folders);

} // namespace vistrel
