// "Einladungen verschicken...": the invitation dialog for the first selected picture of the open album.
#include "app_shell/ui/main_window.h"
#include "invitations/ui/invite_form.h"

namespace vistrel {

TInviteForm* TMainWindow::InviteForm() {
    if (!inviteForm_) {
        inviteForm_ = new TInviteForm(context_, this);
        inviteForm_->SetHelpHandler([this](int context) { ShowHelp(context); });
    }
    return inviteForm_;
}

void TMainWindow::actInviteExecute() {
    auto first = FirstSelectedPicture();
    if (!first || !context_.albums.IsValidIndex(openAlbum_) || *first >= static_cast<int>(pictures_.size()))
        return;
    TInviteForm* form = InviteForm();
    form->Prepare(context_.albums[openAlbum_].FolderName, pictures_[static_cast<size_t>(*first)].FileName());
    form->exec();
}

} // namespace vistrel
