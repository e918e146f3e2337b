// What the import needs of the main window beyond its public services: the tile of a picture it added.
#include "album_library/ui/thumb_grid.h"
#include "app_shell/ui/main_window.h"

namespace vistrel {

void TMainWindow::ShowImportedPicture(int index, bool appended) {
    if (index < 0 || index >= static_cast<int>(pictures_.size())) return;
    if (appended)
        grid_->appendTile(TileFor(pictures_[static_cast<size_t>(index)]));
    else
        grid_->reloadThumbnail(index);
}

} // namespace vistrel
