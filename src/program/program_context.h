#pragma once
// What the program holds for a whole run, shared by the window program and vistrel-cli: the fixed
// folders, the settings and the album list, brought up in the start-up order.
#include "album_library/album_list.h"
#include "settings/program_settings.h"

#include <memory>

namespace vistrel {

class TProgramContext {
public:
    TProgramContext(const std::filesystem::path& programFolder, UserPrompts& prompts);

    // Creates the album folder when missing, loads the settings, resolves the current style and the
    // maximum picture size, loads the album list and makes sure one album exists. Returns false when
    // the album folder cannot be created.
    bool Start();
    // Saves the album list, as at every exit.
    bool SaveAtExit() { return albums.SaveAlbumList(); }

    TProgramFolders folders;
    UserPrompts& prompts;
    TProgramSettings settings;
    TAlbumList albums;
};

} // namespace vistrel
