// "&Einstellungen...": the settings dialog over the program's settings.
#include "app_shell/ui/main_window.h"
#include "app_shell/ui/settings_form.h"

namespace vistrel {

TSettingsForm* TMainWindow::SettingsForm() {
    // One dialog for the whole run, so its page and position persist between showings. It is made at
    // its first use rather than at start-up: by then the settings and their stored position are loaded.
    if (!settingsForm_) {
        settingsForm_ = new TSettingsForm(context_.settings, context_.prompts, this);
        settingsForm_->SetHelpHandler([this](int context) { ShowHelp(context); });
    }
    return settingsForm_;
}

void TMainWindow::actSettingsExecute() { SettingsForm()->exec(); }

} // namespace vistrel
