#include "site_generator/ui/gen_cdrom_form.h"

#include "common/cp1252.h"
#include "common/numbers.h"
#include "common/ui/button_row.h"
#include "common/user_prompts.h"
#include "settings/program_settings.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace vistrel {

TGenCDROMForm::TGenCDROMForm(TProgramSettings& settings, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), settings_(settings), prompts_(prompts) {
    setWindowTitle(QStringLiteral("Dateien für CD-ROM zusammenstellen"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("Die Dateien für die Präsentation Ihres Fotoalbums werden nun in einem\n"
                                  "Verzeichnis zusammengestellt und können dann auf CD-R gebrannt werden.")));
    layout->addWidget(new QLabel(QStringLiteral("Verzeichnis für die Zusammenstellung der Dateien:")));
    edCDROMPath = new QLineEdit;
    btnSeldir = new QPushButton(QStringLiteral("Verzeichnis wählen..."));
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(edCDROMPath, 1);
    pathRow->addWidget(btnSeldir);
    layout->addLayout(pathRow);
    lbSummary = new QLabel;
    layout->addWidget(lbSummary);
    lbCounter = new QLabel;
    auto* counterRow = new QHBoxLayout;
    counterRow->addWidget(new QLabel(QStringLiteral("Kopiere Dateien:")));
    counterRow->addWidget(lbCounter, 1);
    layout->addLayout(counterRow);
    lbFile = new QLabel;
    lbFile->setTextFormat(Qt::PlainText);
    layout->addWidget(lbFile);
    pbCopy = new QProgressBar;
    layout->addWidget(pbCopy);
    btnOk = new QPushButton(QStringLiteral("Ok"));
    btnCancel = new QPushButton(QStringLiteral("Abbrechen"));
    layout->addLayout(ButtonRow({btnOk, btnCancel}));
    connect(btnOk, &QPushButton::clicked, this, [this] { btnOkClick(); });
    connect(btnCancel, &QPushButton::clicked, this, &TGenCDROMForm::reject);
    connect(btnSeldir, &QPushButton::clicked, this, [this] { btnSeldirClick(); });
}

void TGenCDROMForm::Prepare(const TCdromFolderList& folders) {
    folders_ = folders;
    cancelled_ = false;
    edCDROMPath->setText(AnsiToDisplay(settings_.ReadCdromPath()));
    lbCounter->clear();
    lbSummary->clear();
    lbFile->clear();
    pbCopy->setValue(0);
    EnableInput(true);
    btnSeldir->setFocus();
    TCdromSummary summary = CountCdromFiles(folders_);
    lbSummary->setText(AnsiToQString(CdromSummaryText(summary, DecimalSeparator())));
    pbCopy->setRange(0, summary.files);
}

void TGenCDROMForm::EnableInput(bool enabled) {
    btnSeldir->setEnabled(enabled);
    btnOk->setEnabled(enabled);
    edCDROMPath->setEnabled(enabled);
}

void TGenCDROMForm::btnSeldirClick() {
    QString folder = QFileDialog::getExistingDirectory(this, QString(), edCDROMPath->text());
    if (!folder.isEmpty()) edCDROMPath->setText(folder);
}

void TGenCDROMForm::btnOkClick() {
    EnableInput(false);
    cancelled_ = false;
    pbCopy->setValue(0);
    std::string target = QStringToAnsi(edCDROMPath->text());
    TCdromOutcome outcome = CopyCdromFiles({folders_, target, pbCopy->maximum(), settings_}, *this).code;
    if (outcome == TCdromOutcome::NoTarget || outcome == TCdromOutcome::TargetNotAllowed) {
        prompts_.ShowMessage(CdromOutcomeMessage(outcome, target));
        EnableInput(true);
        return;
    }
    if (outcome == TCdromOutcome::Cancelled) return;
    prompts_.ShowMessage(CdromOutcomeMessage(outcome, target),
                         outcome == TCdromOutcome::Copied ? MessageKind::Information : MessageKind::Error);
    if (outcome == TCdromOutcome::Copied) accept();
}

void TGenCDROMForm::reject() {
    cancelled_ = true;
    QDialog::reject();
}

void TGenCDROMForm::ShowFile(const std::filesystem::path& target) {
    lbFile->setText(QString::fromStdString(target.string()));
}

void TGenCDROMForm::FileCopied(int done, int total) {
    pbCopy->setValue(std::min(done, pbCopy->maximum()));
    lbCounter->setText(QStringLiteral("%1 von %2").arg(done).arg(total));
}

void TGenCDROMForm::ProcessEvents() {
    QCoreApplication::processEvents();
}

} // namespace vistrel
