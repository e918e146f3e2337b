#include "invitations/ui/invite_status_form.h"

#include "common/cp1252.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace vistrel {

TInviteStatusForm::TInviteStatusForm(UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), prompts_(prompts) {
    setWindowTitle(QStringLiteral("Einladungen"));
    // A window of its own on top, so that it stays usable while the invitation dialog is disabled.
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Einladung wird verschickt an:")));
    lbRecipient = new QLabel;
    lbRecipient->setTextFormat(Qt::PlainText);
    lbRecipient->setMinimumWidth(300);
    layout->addWidget(lbRecipient);
    pbProgress = new QProgressBar;
    pbProgress->setTextVisible(false);
    layout->addWidget(pbProgress);
    btnCancel = new QPushButton(QStringLiteral("Abbrechen"));
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(btnCancel);
    row->addStretch();
    layout->addLayout(row);
    connect(btnCancel, &QPushButton::clicked, this, [this] { cancelled_ = true; });
}

void TInviteStatusForm::Start(int recipients) {
    cancelled_ = false;
    pbProgress->setRange(0, recipients);
    pbProgress->setValue(0);
    lbRecipient->clear();
    show();
    raise();
}

void TInviteStatusForm::ShowRecipient(int index, const std::string& address) {
    pbProgress->setValue(index);
    lbRecipient->setText(AnsiToDisplay(address));
}

void TInviteStatusForm::ShowClientError(const std::string& text) {
    prompts_.ShowMessage(text, MessageKind::Error);
}

void TInviteStatusForm::Finish() {
    hide();
}

void TInviteStatusForm::ProcessEvents() {
    QApplication::processEvents();
}

void TInviteStatusForm::reject() {
    cancelled_ = true;
}

} // namespace vistrel
