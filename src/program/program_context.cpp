#include "program/program_context.h"

namespace vistrel {

TProgramContext::TProgramContext(const std::filesystem::path& programFolder, UserPrompts& userPrompts)
    : folders(TProgramFolders::For(programFolder)), prompts(userPrompts), settings(folders, userPrompts),
      albums(folders.albums, userPrompts) {}

bool TProgramContext::Start() {
    bool created = CreateAlbumFolderIfMissing(folders);
    settings.Load();
    settings.ResolveStyle();
    settings.UpdateMaxPictureSize();
    albums.LoadAlbumList();
    if (created) albums.EnsureOneAlbum();
    return created;
}

} // namespace vistrel
