#include "image_processing/ui/gamma_form.h"

#include "common/cp1252.h"
#include "image_processing/color_transforms.h"
#include "image_processing/edit_session.h"
#include "image_processing/ui/image_scroll_box.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QVBoxLayout>

namespace vistrel {

TGammaForm::TGammaForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TGammaForm"));
    setWindowTitle(QStringLiteral("Gamma Korrektur"));
    setWindowFlag(Qt::Tool);
    setMinimumSize(436, 150);
    resize(560, 420);
    Image = new TImageScrollBox(this);
    Image->setObjectName(QStringLiteral("Image"));
    Image->SetCentered(true);
    Image->SetAntiAliased(true);
    lbMin = new QLabel(QStringLiteral("0,1"), this);
    TrackBar1 = new QSlider(Qt::Horizontal, this);
    TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
    TrackBar1->setRange(1, 70);
    TrackBar1->setValue(10);
    TrackBar1->setTickPosition(QSlider::TicksBelow);
    TrackBar1->setTickInterval(10);
    lbMax = new QLabel(QStringLiteral("7,0"), this);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setFixedWidth(50);
    Edit1->installEventFilter(this);
    btnOk = new QPushButton(QStringLiteral("Ok"), this);
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Abbrechen"), this);

    auto* controls = new QHBoxLayout;
    controls->addWidget(lbMin);
    controls->addWidget(TrackBar1, 1);
    controls->addWidget(lbMax);
    controls->addWidget(Edit1);
    controls->addSpacing(12);
    controls->addWidget(btnOk);
    controls->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Image, 1);
    layout->addLayout(controls);

    connect(TrackBar1, &QSlider::valueChanged, this, &TGammaForm::TrackBar1Change);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TGammaForm::SetSourcePicture(const TDibGraphic* editorPicture) {
    source_ = editorPicture;
    preview_.CopyFromGraphic(editorPicture);
    Image->SetPicture(&preview_);
}

double TGammaForm::GammaValue() const {
    return TrackBar1->value() / 10.0;
}

QString TGammaForm::FormattedValue() const {
    return QLocale().toString(GammaValue(), 'f', 1);
}

void TGammaForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    TrackBar1->setValue(10);
    Edit1->setText(FormattedValue());
    Image->Redraw();
}

void TGammaForm::TrackBar1Change(int) {
    // While the user types, the field keeps the text typed: rewriting "2" as "2,0" under the cursor
    // would turn the next keys "," and "5" into "2,0,5", and 2,5 could never be typed.
    if (!typing_) Edit1->setText(FormattedValue());
    if (!source_ || source_->IsEmpty()) return;
    QPoint scroll = Image->ScrollPosition();
    TGammaTransform gamma;
    gamma.SetGammaValue(GammaValue());
    gamma.ApplyOnDest(*source_, preview_);
    Image->Redraw();
    Image->SetScrollPosition(scroll);
}

bool TGammaForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit1 && event->type() == QEvent::KeyRelease) Edit1KeyUp();
    return QDialog::eventFilter(watched, event);
}

// Text that is no number, or one outside 0,1 .. 7,0, leaves the bar and the preview as they are.
void TGammaForm::Edit1KeyUp() {
    QString separator = QLocale().decimalPoint();
    char decimal = separator.isEmpty() ? '.' : separator.at(0).toLatin1();
    if (std::optional<int> position = GammaTrackPosition(QStringToAnsi(Edit1->text()), decimal)) {
        typing_ = true;
        TrackBar1->setValue(*position);
        typing_ = false;
    }
}

} // namespace vistrel
