#include "album_library/ui/info_dialogs.h"

#include "common/cp1252.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace vistrel {
namespace {

const QSize kPictureBox(400, 260);

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
    : QDialog(parent), Edit1(new QLineEdit), Memo1(new QPlainTextEdit), imgPicture(new QLabel),
      btnPrevious(new QPushButton(QStringLiteral("Zurück"))),
      btnNext(new QPushButton(QStringLiteral("Weiter"))) {
    setWindowTitle(QStringLiteral("Bildinformationen"));
    setObjectName(QStringLiteral("TEditInfoForm"));
    imgPicture->setObjectName(QStringLiteral("imgPicture"));
    imgPicture->setAlignment(Qt::AlignCenter);
    imgPicture->setMinimumSize(kPictureBox);
    btnPrevious->setObjectName(QStringLiteral("btnPrevious"));
    btnNext->setObjectName(QStringLiteral("btnNext"));
    btnPrevious->setToolTip(QStringLiteral("Vorheriges Bild (Strg+Bild auf)"));
    btnNext->setToolTip(QStringLiteral("Nächstes Bild (Strg+Bild ab)"));
    // The buttons take no focus from the fields: a click steps on, the cursor stays in the text.
    btnPrevious->setAutoDefault(false);
    btnNext->setAutoDefault(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(imgPicture, 1);
    layout->addWidget(Caption(QStringLiteral("Bildüberschrift:"), Edit1));
    layout->addWidget(Edit1);
    layout->addWidget(Caption(QStringLiteral("Bildinformationen:"), Memo1));
    layout->addWidget(Memo1);
    auto* row = new QHBoxLayout;
    row->addWidget(btnPrevious);
    row->addWidget(btnNext);
    row->addStretch(1);
    row->addWidget(OkCancel(this));
    layout->addLayout(row);
    Memo1->setTabChangesFocus(true);
    connect(btnPrevious, &QPushButton::clicked, this, [this] { Q_EMIT stepRequested(-1); });
    connect(btnNext, &QPushButton::clicked, this, [this] { Q_EMIT stepRequested(+1); });
    // The memo would take Strg+Bild auf/ab for itself; the dialog's shortcuts come first.
    for (auto [key, delta] : {std::pair{Qt::Key_PageUp, -1}, std::pair{Qt::Key_PageDown, +1}}) {
        auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | key), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, delta] {
            if ((delta < 0 ? btnPrevious : btnNext)->isEnabled()) Q_EMIT stepRequested(delta);
        });
    }
    resize(440, 560);
}

void TEditInfoForm::ShowPicture(const QString& file) {
    imgPicture->clear();
    if (file.isEmpty()) return;
    // Decoded at the size shown: a camera picture is not held whole for a preview.
    QImageReader reader(file);
    reader.setAutoTransform(true);
    QSize size = reader.size();
    if (size.isValid() && (size.width() > kPictureBox.width() || size.height() > kPictureBox.height()))
        reader.setScaledSize(size.scaled(kPictureBox, Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (!image.isNull()) imgPicture->setPixmap(QPixmap::fromImage(image));
}

void TEditInfoForm::SetStepsEnabled(bool previous, bool next) {
    btnPrevious->setEnabled(previous);
    btnNext->setEnabled(next);
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
