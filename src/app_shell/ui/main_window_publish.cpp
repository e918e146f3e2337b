// "Alben im Web veröffentlichen..." (F10): generate the site, then the publish dialog. The dialog's
// "&Einstellungen..." opens the program's settings dialog on its page "Veröffentlichen".
#include "app_shell/ui/main_window.h"
#include "app_shell/ui/settings_form.h"
#include "publishing/ui/publish_form.h"
#include "site_generator/ui/site_actions.h"

#include <QTabWidget>

namespace vistrel {

void TMainWindow::actPublishExecute() {
    TSiteWindowHooks hooks = SiteHooks();
    RunPublish(this, context_, *GenStat(), hooks, [this] {
        TSettingsForm* form = SettingsForm();
        form->PageControl->setCurrentIndex(static_cast<int>(TSettingsPage::Publish));
        form->exec();
    });
}

} // namespace vistrel
