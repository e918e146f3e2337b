#include "app/about_box.h"

#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QVBoxLayout>

namespace vistrel {
namespace {

constexpr Qt::WindowFlags kBoxFlags = Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
// The splash is a window of the tool tip kind: no window manager or platform activates one or gives it
// the keyboard (X11 does not even manage it), so keys typed at start-up stay with the main window.
constexpr Qt::WindowFlags kSplashFlags =
    Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus;

} // namespace

QString VersionText() {
    return QStringLiteral("Version ") + QStringLiteral(VISTREL_VERSION) + QLatin1Char(' ');
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent), lbVersion(new QLabel(VersionText())) {
    setObjectName(QStringLiteral("TAboutBox"));
    setWindowFlags(kBoxFlags);
    setFixedSize(420, 260);
    auto* layout = new QVBoxLayout(this);
    layout->addStretch();
    lbVersion->setAlignment(Qt::AlignRight);
    lbVersion->setStyleSheet(QStringLiteral("color: white;"));
    layout->addWidget(lbVersion);
}

void TAboutBox::paintEvent(QPaintEvent*) {
    // The picture: an evening sky over a horizon with the program's name, drawn so no image file is needed.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height());
    sky.setColorAt(0, QColor(0x1d, 0x35, 0x57));
    sky.setColorAt(0.65, QColor(0xe6, 0x8a, 0x4f));
    sky.setColorAt(1, QColor(0x2b, 0x2d, 0x42));
    painter.fillRect(rect(), sky);
    painter.setBrush(QColor(0xff, 0xd1, 0x66));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(width() * 0.72, height() * 0.62), 34, 34);
    painter.setBrush(QColor(0x22, 0x22, 0x30));
    painter.drawRect(0, static_cast<int>(height() * 0.68), width(), height());
    painter.setPen(Qt::white);
    QFont title = font();
    title.setPointSize(26);
    title.setBold(true);
    painter.setFont(title);
    painter.drawText(QRect(24, 30, width() - 48, 50), Qt::AlignLeft, QStringLiteral("Vantro Vistrel"));
    QFont sub = font();
    sub.setPointSize(11);
    painter.setFont(sub);
    painter.drawText(QRect(26, 82, width() - 48, 30), Qt::AlignLeft, QStringLiteral("Fotoalben für das Web"));
}

void TAboutBox::ShowAsSplash() {
    if (isVisible()) return;
    setWindowFlags(kSplashFlags);
    setAttribute(Qt::WA_ShowWithoutActivating, true);
    setFocusPolicy(Qt::NoFocus);
    show();
}

int TAboutBox::ShowModal() {
    // The flags can only change while the window is hidden; a splash still showing is closed first.
    if (isVisible()) close();
    setWindowFlags(kBoxFlags);
    setAttribute(Qt::WA_ShowWithoutActivating, false);
    return exec();
}

void TAboutBox::mousePressEvent(QMouseEvent*) {
    close();
}

} // namespace vistrel
