#include "scanner/ui/scan_form.h"

#include "common/cp1252.h"
#include "scanner/ui/scan_preview.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace vistrel {

namespace {

// The resolutions offered when the device allows a whole range: the usual steps within it.
constexpr double kUsualResolutions[] = {50, 75, 100, 150, 200, 300, 400, 600, 1200, 2400};

QString FromDriver(const std::string& text) {
    return AnsiToQString(text);
}

double Number(const std::string& text) {
    double value = 0;
    return ParseScanNumber(text, value) ? value : 0;
}

} // namespace

QString ScanValueText(const std::string& value) {
    static const std::map<std::string, QString> words = {
        {"Gray", QStringLiteral("Graustufen")},
        {"Color", QStringLiteral("Farbe")},
        {"Lineart", QStringLiteral("Schwarzweiß")},
        {"Halftone", QStringLiteral("Raster")},
        {"Flatbed", QStringLiteral("Flachbett")},
        {"ADF", QStringLiteral("Vorlageneinzug")},
        {"Automatic Document Feeder", QStringLiteral("Vorlageneinzug")},
        {"ADF Duplex", QStringLiteral("Vorlageneinzug beidseitig")},
        {"Transparency Adapter", QStringLiteral("Durchlichteinheit")},
    };
    auto it = words.find(value);
    return it != words.end() ? it->second : FromDriver(value);
}

TScanForm::TScanForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TScanForm"));
    setWindowTitle(QStringLiteral("Scannen"));
    lbDevice = new QLabel(this);
    cbSource = new QComboBox(this);
    cbMode = new QComboBox(this);
    cbResolution = new QComboBox(this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Gerät:"), lbDevice);
    form->addRow(QStringLiteral("Vorlage:"), cbSource);
    form->addRow(QStringLiteral("Modus:"), cbMode);
    form->addRow(QStringLiteral("Auflösung:"), cbResolution);

    auto* areaBox = new QGroupBox(QStringLiteral("Scanbereich (mm)"), this);
    auto* areaForm = new QFormLayout(areaBox);
    for (auto [box, caption] : {std::pair{&edLeft, "Links:"}, std::pair{&edTop, "Oben:"},
                                std::pair{&edRight, "Rechts:"}, std::pair{&edBottom, "Unten:"}}) {
        *box = new QDoubleSpinBox(areaBox);
        (*box)->setDecimals(1);
        (*box)->setKeyboardTracking(false);
        areaForm->addRow(QString::fromLatin1(caption), *box);
    }

    lbPage = new QLabel(this);
    pbScan = new QProgressBar(this);
    pbScan->setRange(0, 100);
    auto* left = new QVBoxLayout;
    left->addLayout(form);
    left->addWidget(areaBox);
    left->addStretch();
    left->addWidget(lbPage);
    left->addWidget(pbScan);

    preview = new TScanPreview(this);
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addWidget(preview, 1);

    btnPreview = new QPushButton(QStringLiteral("Vorschau"), this);
    btnScan = new QPushButton(QStringLiteral("Scannen"), this);
    btnCancel = new QPushButton(QStringLiteral("Abbrechen"), this);
    btnScan->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnPreview);
    buttons->addStretch();
    buttons->addWidget(btnScan);
    buttons->addWidget(btnCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    layout->addLayout(buttons);

    connect(btnPreview, &QPushButton::clicked, this, &TScanForm::btnPreviewClick);
    connect(btnScan, &QPushButton::clicked, this, &TScanForm::btnScanClick);
    connect(btnCancel, &QPushButton::clicked, this, &TScanForm::btnCancelClick);
    connect(cbSource, &QComboBox::activated, this, [this] { ChoiceChanged(cbSource, "source"); });
    connect(cbMode, &QComboBox::activated, this, [this] { ChoiceChanged(cbMode, "mode"); });
    connect(cbResolution, &QComboBox::activated, this, [this] { ChoiceChanged(cbResolution, "resolution"); });
    connect(edLeft, &QDoubleSpinBox::valueChanged, this, [this] { AreaChanged(edLeft, "tl-x"); });
    connect(edTop, &QDoubleSpinBox::valueChanged, this, [this] { AreaChanged(edTop, "tl-y"); });
    connect(edRight, &QDoubleSpinBox::valueChanged, this, [this] { AreaChanged(edRight, "br-x"); });
    connect(edBottom, &QDoubleSpinBox::valueChanged, this, [this] { AreaChanged(edBottom, "br-y"); });
    connect(preview, &TScanPreview::AreaChosen, this, &TScanForm::AreaDragged);
}

void TScanForm::ShowSourceDialog(TScanSession& session) {
    session_ = &session;
    cancelled_ = false;
    pbScan->setValue(0);
    lbPage->clear();
    const TScanDevice& device = session.Device();
    lbDevice->setText(QStringLiteral("%1 %2").arg(FromDriver(device.vendor), FromDriver(device.model)));
    lbDevice->setToolTip(FromDriver(device.name));
    ReadFromSession();
    SetBusy(false);
    // The window is the one thing to work with while the device is open, so it shows the normal
    // cursor over the caller's wait cursor, and the busy cursor only while the device works.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    exec();
    QApplication::restoreOverrideCursor();
    session_ = nullptr;
}

void TScanForm::ReadFromSession() {
    refreshing_ = true;
    FillChoice(cbSource, "source");
    FillChoice(cbMode, "mode");
    FillChoice(cbResolution, "resolution");
    FillArea(edLeft, "tl-x");
    FillArea(edTop, "tl-y");
    FillArea(edRight, "br-x");
    FillArea(edBottom, "br-y");
    preview->SetWholeArea(WholeArea());
    preview->SetArea(ChosenArea());
    refreshing_ = false;
}

void TScanForm::FillChoice(QComboBox* box, const char* name) {
    box->clear();
    const TScanOption* option = session_->Option(name);
    box->setEnabled(option && option->active && option->settable && !busy_);
    if (!option || !option->active) return;
    std::vector<std::string> values = option->choices;
    if (values.empty() && option->hasRange) {
        for (double value : kUsualResolutions)
            if (value >= option->minimum && value <= option->maximum)
                values.push_back(FormatScanNumber(value));
        if (std::find(values.begin(), values.end(), option->value) == values.end()) {
            values.push_back(option->value);
            std::sort(values.begin(), values.end(),
                      [](const std::string& a, const std::string& b) { return Number(a) < Number(b); });
        }
    }
    bool dpi = option->unit == TScanUnit::Dpi;
    for (const std::string& value : values)
        box->addItem(dpi ? FromDriver(value) + QStringLiteral(" dpi") : ScanValueText(value),
                     FromDriver(value));
    box->setCurrentIndex(box->findData(FromDriver(option->value)));
}

void TScanForm::FillArea(QDoubleSpinBox* box, const char* name) {
    const TScanOption* option = session_->Option(name);
    box->setEnabled(option && option->active && option->settable && !busy_);
    if (!option || !option->active) return;
    if (option->hasRange) box->setRange(option->minimum, option->maximum);
    box->setValue(Number(option->value));
}

QRectF TScanForm::WholeArea() const {
    const TScanOption* x = session_->Option("br-x");
    const TScanOption* y = session_->Option("br-y");
    const TScanOption* left = session_->Option("tl-x");
    const TScanOption* top = session_->Option("tl-y");
    if (!x || !y || !x->hasRange || !y->hasRange) return {};
    double x0 = left && left->hasRange ? left->minimum : 0;
    double y0 = top && top->hasRange ? top->minimum : 0;
    return QRectF(QPointF(x0, y0), QPointF(x->maximum, y->maximum));
}

QRectF TScanForm::ChosenArea() const {
    return QRectF(QPointF(edLeft->value(), edTop->value()), QPointF(edRight->value(), edBottom->value()));
}

void TScanForm::ChoiceChanged(QComboBox* box, const char* name) {
    if (refreshing_ || !session_ || busy_) return;
    session_->TrySetOption(name, QStringToAnsi(box->currentData().toString()));
    // One value may change the others' ranges (a feeder has another area than the flatbed).
    ReadFromSession();
}

void TScanForm::AreaChanged(QDoubleSpinBox* box, const char* name) {
    if (refreshing_ || !session_ || busy_) return;
    session_->TrySetOption(name, FormatScanNumber(box->value()));
    ReadFromSession();
}

void TScanForm::AreaDragged(const QRectF& area) {
    if (!session_ || busy_) return;
    session_->TrySetOption("tl-x", FormatScanNumber(area.left()));
    session_->TrySetOption("tl-y", FormatScanNumber(area.top()));
    session_->TrySetOption("br-x", FormatScanNumber(area.right()));
    session_->TrySetOption("br-y", FormatScanNumber(area.bottom()));
    ReadFromSession();
}

void TScanForm::SetBusy(bool busy) {
    busy_ = busy;
    for (QWidget* w : std::initializer_list<QWidget*>{cbSource, cbMode, cbResolution, edLeft, edTop, edRight,
                                                      edBottom, btnPreview, btnScan})
        w->setEnabled(!busy);
    preview->setEnabled(!busy);
    if (!busy && session_) ReadFromSession(); // inactive options stay disabled
    if (busy != busyCursor_) {
        busyCursor_ = busy;
        if (busy)
            QApplication::setOverrideCursor(Qt::BusyCursor);
        else
            QApplication::restoreOverrideCursor();
    }
}

void TScanForm::ScanProgress(int page, int percent) {
    pbScan->setValue(percent);
    lbPage->setText(session_ && session_->FeederSelected() ? QStringLiteral("Seite %1").arg(page)
                                                           : QString());
}

void TScanForm::btnPreviewClick() {
    if (!session_ || busy_) return;
    cancelled_ = false;
    SetBusy(true);
    TDibGraphic picture;
    TScanStep step = session_->Preview(picture, *this);
    SetBusy(false);
    if (step == TScanStep::Done) preview->SetPicture(ToQImage(picture), WholeArea());
    pbScan->setValue(0);
    Finish(step);
}

void TScanForm::btnScanClick() {
    if (!session_ || busy_) return;
    cancelled_ = false;
    SetBusy(true);
    TScanStep step = session_->Scan(*this);
    SetBusy(false);
    if (step == TScanStep::Done) {
        accept();
        return;
    }
    pbScan->setValue(0);
    Finish(step);
}

void TScanForm::Finish(TScanStep step) {
    if (step == TScanStep::Failed) QDialog::reject();
}

void TScanForm::btnCancelClick() {
    reject();
}

// Esc, the window's close box and "Abbrechen": a running scan stops, otherwise the window closes.
void TScanForm::reject() {
    if (busy_) {
        cancelled_ = true;
        return;
    }
    QDialog::reject();
}

} // namespace vistrel
