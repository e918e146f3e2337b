// The site actions of the main window: preview, style choice and the CD-ROM export. The site
// generator does the work; the window lends it its lock, its status bar and the open picture list.
#include "app_shell/ui/album_tree.h"
#include "app_shell/ui/main_window.h"
#include "site_generator/ui/gen_stat.h"
#include "site_generator/ui/site_actions.h"

namespace vistrel {

TGenStat* TMainWindow::GenStat() {
    if (!genStat_) genStat_ = new TGenStat(this);
    return genStat_;
}

TSiteWindowHooks TMainWindow::SiteHooks() {
    TSiteWindowHooks hooks;
    hooks.lockMainWindow = [this] { LockMainWindow(); };
    hooks.unlockMainWindow = [this] { UnlockMainWindow(); };
    hooks.saveOpenPictureList = [this] {
        if (context_.albums.IsValidIndex(openAlbum_)) context_.albums.SavePictureList(openAlbum_, pictures_);
    };
    hooks.albumPublished = [this](int index) { tree_->updateRow(index, context_.albums); };
    hooks.showStatus = [this] { ShowStatus(); };
    return hooks;
}

void TMainWindow::actPreviewExecute() {
    TSiteWindowHooks hooks = SiteHooks();
    RunPreview(context_, *GenStat(), hooks);
}

void TMainWindow::actSelectStyleExecute() {
    TSiteWindowHooks hooks = SiteHooks();
    ShowSelectStyle(this, context_.settings, hooks);
}

void TMainWindow::actCDROMExecute() {
    TSiteWindowHooks hooks = SiteHooks();
    ShowCdromExport(this, context_, *GenStat(), hooks);
}

} // namespace vistrel
