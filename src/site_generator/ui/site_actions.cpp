#include "site_generator/ui/site_actions.h"

#include "common/cp1252.h"
#include "common/user_prompts.h"
#include "site_generator/cdrom_export.h"
#include "site_generator/ui/gen_cdrom_form.h"
#include "site_generator/ui/gen_stat.h"
#include "site_generator/ui/select_style_form.h"

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>

namespace vistrel {

void TDesktopSiteHost::LockMainWindow() {
    if (hooks_.lockMainWindow) hooks_.lockMainWindow();
}
void TDesktopSiteHost::UnlockMainWindow() {
    if (hooks_.unlockMainWindow) hooks_.unlockMainWindow();
}
void TDesktopSiteHost::SaveOpenPictureList() {
    if (hooks_.saveOpenPictureList) hooks_.saveOpenPictureList();
}
void TDesktopSiteHost::AlbumPublished(int index) {
    if (hooks_.albumPublished) hooks_.albumPublished(index);
}

void TDesktopSiteHost::SetBusyCursor(bool busy) {
    if (busy == busy_) return;
    busy_ = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TDesktopSiteHost::OpenDocument(const std::filesystem::path& file) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file.string())));
}

TSiteResult RunSiteGeneration(TProgramContext& context, TSiteMode mode, TGenStat& progress,
                              const TSiteWindowHooks& hooks) {
    TDesktopSiteHost host(hooks);
    TSiteRun run = BuildSite(context, mode, progress, host);
    if (!run.site.warnings.empty())
        context.prompts.ShowMessage(SiteWarningsMessage(run.site), MessageKind::Warning);
    if (run.result.code != TSiteCode::WriteFailed) return run.site;
    // The builder has already closed its window and unlocked the main window.
    host.SetBusyCursor(false);
    context.prompts.ShowMessage(SiteMessage(run.result), MessageKind::Error);
    TSiteResult failed;
    failed.cancelled = true;
    return failed;
}

bool RunPreview(TProgramContext& context, TGenStat& progress, const TSiteWindowHooks& hooks) {
    TSiteResult result = RunSiteGeneration(context, TSiteMode::Preview, progress, hooks);
    return result.startPageExists && !result.cancelled;
}

void ShowSelectStyle(QWidget* parent, TProgramSettings& settings, const TSiteWindowHooks& hooks) {
    TSelectStyleForm form(parent);
    form.Prepare(settings.Folders().styles, settings.CurrentStyleFolder());
    form.exec();
    StoreChosenStyle(settings, form.Catalogue());
    if (hooks.showStatus) hooks.showStatus();
}

void ShowCdromExport(QWidget* parent, TProgramContext& context, TGenStat& progress,
                     const TSiteWindowHooks& hooks) {
    TSiteResult site = RunSiteGeneration(context, TSiteMode::Publish, progress, hooks);
    if (!site.startPageExists || site.cancelled) return;
    TGenCDROMForm form(context.settings, context.prompts, parent);
    form.Prepare(BuildCdromFolderList(context.albums));
    form.exec();
}

} // namespace vistrel
