#include "album_library/ui/status_form.h"

#include "common/cp1252.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace vistrel {

namespace {

QProgressBar* MakeBar() {
    auto* bar = new QProgressBar;
    bar->setTextVisible(false);
    bar->setRange(0, 100);
    return bar;
}

} // namespace

TStatusForm::TStatusForm(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      lbBildname(new QLabel), lbVorgang(new QLabel), pbVorgang(MakeBar()), lbCount(new QLabel),
      pbCount(MakeBar()), btnCancel(new QPushButton(QStringLiteral("Abbrechen"))) {
    setObjectName(QStringLiteral("StatusForm"));
    setWindowTitle(QStringLiteral("Bilder werden importiert"));
    setModal(false);
    lbBildname->setFixedWidth(293);

    auto* upper = new QGroupBox;
    auto* upperGrid = new QGridLayout(upper);
    upperGrid->addWidget(new QLabel(QStringLiteral("Bild:")), 0, 0);
    upperGrid->addWidget(lbBildname, 0, 1);
    upperGrid->addWidget(new QLabel(QStringLiteral("Vorgang:")), 1, 0);
    upperGrid->addWidget(lbVorgang, 1, 1);
    upperGrid->addWidget(pbVorgang, 2, 0, 1, 2);

    auto* lower = new QGroupBox;
    auto* lowerGrid = new QGridLayout(lower);
    lowerGrid->addWidget(new QLabel(QStringLiteral("Bilder insgesamt:")), 0, 0);
    lowerGrid->addWidget(lbCount, 0, 1);
    lowerGrid->addWidget(pbCount, 1, 0, 1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(upper);
    layout->addWidget(lower);
    layout->addWidget(btnCancel, 0, Qt::AlignHCenter);
    resize(412, 166);
    connect(btnCancel, &QPushButton::clicked, this, [this] { FStopped = true; });
}

void TStatusForm::Start(int files) {
    pbCount->setRange(0, std::max(files, 1));
    pbCount->setValue(0);
    pbVorgang->setValue(0);
    lbBildname->clear();
    lbVorgang->clear();
    lbCount->clear();
    FStopped = false;
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
}

void TStatusForm::ShowCount(int barPosition, const std::string& countText) {
    pbCount->setValue(barPosition);
    lbCount->setText(AnsiToQString(countText));
}

// Long paths are cut to the label's width, as the window's fixed layout has no room for them.
void TStatusForm::ShowPicture(const std::filesystem::path& picture) {
    fullName_ = QString::fromStdString(picture.string());
    lbBildname->setToolTip(fullName_);
    lbBildname->setText(
        lbBildname->fontMetrics().elidedText(fullName_, Qt::ElideMiddle, lbBildname->width()));
}

void TStatusForm::ShowStep(const std::string& step) {
    lbVorgang->setText(AnsiToQString(step));
}

void TStatusForm::StepProgress(int percent) {
    pbVorgang->setValue(percent);
    // The bar moves within one picture's steps only when the window gets to draw between them.
    ProcessEvents();
}

void TStatusForm::ProcessEvents() {
    QCoreApplication::processEvents();
}

} // namespace vistrel
