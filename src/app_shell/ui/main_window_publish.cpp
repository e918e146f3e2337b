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
        if (!settingsForm_) {
            settingsForm_ = new TSettingsForm(context_.settings, context_.prompts, this);
            settingsForm_->SetHelpHandler([this](int context) { ShowHelp(context); });
        }
        settingsForm_->PageControl->setCurrentIndex(static_cast<int>(TSettingsPage::Publish));
        settingsForm_->exec();
    });
}

} // namespace vistrel
