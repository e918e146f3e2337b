#include "publishing/ui/ftp_windows.h"

#include "common/atomic_file.h"
#include "common/cp1252.h"
#include "common/line_file.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace vistrel {

TftpProtoForm::TftpProtoForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("FTP Protokoll"));
    setModal(false);
    Memo = new QListWidget;
    Memo->setMinimumSize(520, 320);
    btnSave = new QPushButton(QStringLiteral("Speichern..."));
    btnClear = new QPushButton(QStringLiteral("Löschen"));
    btnOk = new QPushButton(QStringLiteral("Ok"));
    connect(btnSave, &QPushButton::clicked, this, [this] { btnSaveClick(); });
    connect(btnClear, &QPushButton::clicked, this, [this] { Clear(); });
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnSave);
    buttons->addWidget(btnClear);
    buttons->addStretch();
    buttons->addWidget(btnOk);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Memo);
    layout->addLayout(buttons);
}

void TftpProtoForm::AddLine(const std::string& line) {
    Memo->addItem(AnsiToDisplay(line));
    Memo->scrollToBottom();
}

void TftpProtoForm::Clear() {
    Memo->clear();
}

bool TftpProtoForm::SaveTo(const QString& fileName) const {
    std::vector<std::string> lines;
    for (int i = 0; i < Memo->count(); ++i)
        lines.push_back(QStringToAnsi(Memo->item(i)->text()));
    try {
        WriteLineFile(fileName.toStdString(), lines);
        return true;
    } catch (const EFileWriteError&) {
        return false;
    }
}

void TftpProtoForm::btnSaveClick() {
    QString name = QFileDialog::getSaveFileName(this, QStringLiteral("FTP Protokoll speichern"), {},
                                                QStringLiteral("Textdateien (*.txt);;Alle Dateien (*.*)"));
    if (name.isEmpty()) return;
    if (!SaveTo(name))
        QMessageBox::critical(this, windowTitle(),
                              QStringLiteral("In %1 kann nicht geschrieben werden").arg(name));
}

TFTPDelStatus::TFTPDelStatus(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("FTP Dateien löschen"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    setModal(false);
    lbDir = new QLabel;
    lbDir->setTextFormat(Qt::PlainText);
    lbDir->setMinimumWidth(360);
    lbFile = new QLabel;
    lbFile->setTextFormat(Qt::PlainText);
    pb = new QProgressBar;
    pb->setRange(0, 100);
    pb->setTextVisible(false);
    btnCancel = new QPushButton(QStringLiteral("Abbrechen"));
    connect(btnCancel, &QPushButton::clicked, this, [this] { reject(); });
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Verzeichnis:")), 0, 0);
    grid->addWidget(lbDir, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Datei:")), 1, 0);
    grid->addWidget(lbFile, 1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(pb);
    layout->addWidget(btnCancel, 0, Qt::AlignHCenter);
}

void TFTPDelStatus::SetFolder(const std::string& folder) {
    lbDir->setText(AnsiToDisplay(folder));
}
void TFTPDelStatus::SetFile(const std::string& name) {
    lbFile->setText(AnsiToDisplay(name));
}
void TFTPDelStatus::SetProgress(int position) {
    pb->setValue(position);
}

// Escape and the cancel button both stop the deletion, and with it the run.
void TFTPDelStatus::reject() {
    if (OnCancel) OnCancel();
    hide();
}

TPasswdDialog::TPasswdDialog(QWidget* parent, const QString& label) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Passwort eingeben"));
    edPassword = new QLineEdit;
    edPassword->setEchoMode(QLineEdit::Password);
    auto* ok = new QPushButton(QStringLiteral("Ok"));
    auto* cancel = new QPushButton(QStringLiteral("Abbrechen"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(label.isEmpty() ? QStringLiteral("Passwort für den FTP-Server:") : label));
    layout->addWidget(edPassword);
    layout->addLayout(buttons);
}

} // namespace vistrel
