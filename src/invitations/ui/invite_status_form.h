#pragma once
// `TInviteStatusForm`: the small window on top while invitations go out, with the recipient in work,
// a bar and "Abbrechen", which ends the run after the current card.
#include "common/user_prompts.h"
#include "invitations/invitation_job.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace vistrel {

class TInviteStatusForm : public QDialog, public InviteProgress {
    Q_OBJECT
public:
    // Socket and SOCKS errors of the client are shown through `prompts`.
    explicit TInviteStatusForm(UserPrompts& prompts, QWidget* parent = nullptr);

    // InviteProgress
    void Start(int recipients) override;
    void ShowRecipient(int index, const std::string& address) override;
    void ShowClientError(const std::string& text) override;
    void Finish() override;
    void ProcessEvents() override;
    bool Cancelled() const override { return cancelled_; }

    QLabel* lbRecipient = nullptr;
    QProgressBar* pbProgress = nullptr;
    QPushButton* btnCancel = nullptr;

protected:
    // Escape and the title bar work like "Abbrechen": the window stays until the card is out.
    void reject() override;

private:
    UserPrompts& prompts_;
    bool cancelled_ = false;
};

} // namespace vistrel
