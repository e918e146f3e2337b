#include "site_generator/ui/gen_stat.h"

#include "common/cp1252.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace vistrel {

TGenStat::TGenStat(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Erzeuge Website..."));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    setModal(false);
    auto* grid = new QGridLayout;
    lbVorgang = new QLabel;
    pbVorgang = new QProgressBar;
    lbFileName = new QLabel;
    lbFileName->setMinimumWidth(420);
    lbFileName->setTextFormat(Qt::PlainText);
    lbCount = new QLabel;
    pbTotalfiles = new QProgressBar;
    grid->addWidget(new QLabel(QStringLiteral("Vorgang:")), 0, 0);
    grid->addWidget(lbVorgang, 0, 1);
    grid->addWidget(pbVorgang, 1, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Datei:")), 2, 0);
    grid->addWidget(lbFileName, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("Dateien gesamt:")), 3, 0);
    grid->addWidget(lbCount, 3, 1);
    grid->addWidget(pbTotalfiles, 4, 0, 1, 2);
    lbWarning = new QLabel;
    lbWarning->setWordWrap(true);
    lbWarning->setTextFormat(Qt::PlainText);
    lbWarning->hide();
    grid->addWidget(lbWarning, 5, 0, 1, 2);
    btnCancel = new QPushButton(QStringLiteral("Abbrechen"));
    connect(btnCancel, &QPushButton::clicked, this, [this] { cancelled_ = true; });
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(btnCancel, 0, Qt::AlignHCenter);
}

void TGenStat::Start(int totalFiles) {
    cancelled_ = false;
    pbTotalfiles->setRange(0, std::max(totalFiles, 1));
    pbTotalfiles->setValue(0);
    lbCount->setText(QStringLiteral("0"));
    lbFileName->clear();
    lbWarning->clear();
    lbWarning->hide();
    show();
    raise();
    ProcessEvents();
}

void TGenStat::BeginStep(const std::string& caption, int steps) {
    lbVorgang->setText(AnsiToQString(caption));
    pbVorgang->setRange(0, std::max(steps, 1));
    pbVorgang->setValue(0);
}

void TGenStat::ShowFile(const std::filesystem::path& file) {
    lbFileName->setText(QString::fromStdString(file.string()));
}

void TGenStat::FileDone(int filesDone, TStepAdvance advance) {
    pbTotalfiles->setValue(std::min(filesDone, pbTotalfiles->maximum()));
    if (advance == TStepAdvance::TotalAndStep)
        pbVorgang->setValue(std::min(pbVorgang->value() + 1, pbVorgang->maximum()));
    lbCount->setText(QString::number(filesDone));
}

void TGenStat::Warning(const std::string& text) {
    lbWarning->setText(AnsiToQString(text));
    lbWarning->show();
}

void TGenStat::ProcessEvents() {
    QCoreApplication::processEvents();
}

} // namespace vistrel
