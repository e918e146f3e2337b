#include "album_library/ui/info_dialogs.h"

#include "common/cp1252.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vistrel {
namespace {

QDialogButtonBox* OkCancel(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(dialog);
    QPushButton* ok = buttons->addButton(QStringLiteral("Ok"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

QLabel* Caption(const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

} // namespace

TEditInfoForm::TEditInfoForm(QWidget* parent)
    : QDialog(parent), Edit1(new QLineEdit), Memo1(new QPlainTextEdit) {
    setWindowTitle(QStringLiteral("Bildinformationen"));
    setObjectName(QStringLiteral("TEditInfoForm"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Caption(QStringLiteral("Bild\u00fcberschrift:"), Edit1));
    layout->addWidget(Edit1);
    layout->addWidget(Caption(QStringLiteral("Bildinformationen:"), Memo1));
    layout->addWidget(Memo1);
    layout->addWidget(OkCancel(this));
    Memo1->setTabChangesFocus(true);
    resize(397, 328);
}

void TEditInfoForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Edit1->setFocus();
}

TEditAlbumInfoForm::TEditAlbumInfoForm(QWidget* parent)
    : QDialog(parent), edGalleryName(new QLineEdit), edGalleryInfo(new QLineEdit),
      edGalleryText(new QPlainTextEdit) {
    setWindowTitle(QStringLiteral("Albuminformationen bearbeiten"));
    setObjectName(QStringLiteral("TEditAlbumInfoForm"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Caption(QStringLiteral("Name des Albums:"), edGalleryName));
    layout->addWidget(edGalleryName);
    layout->addWidget(Caption(QStringLiteral("Albuminfo:"), edGalleryInfo));
    layout->addWidget(edGalleryInfo);
    layout->addWidget(Caption(QStringLiteral("Albumtext:"), edGalleryText));
    layout->addWidget(edGalleryText);
    layout->addWidget(OkCancel(this));
    edGalleryText->setTabChangesFocus(true);
    resize(396, 349);
}

void TEditAlbumInfoForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    edGalleryName->setFocus();
}

QString MemoFromStored(const std::string& ansi) {
    QString text = AnsiToDisplay(ansi);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

std::string StoredFromMemo(const QString& text) {
    QString stored = text;
    stored.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return QStringToAnsi(stored);
}

} // namespace vistrel
