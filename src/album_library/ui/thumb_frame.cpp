#include "album_library/ui/thumb_frame.h"

#include "album_library/picture_grid.h"

#include <QMouseEvent>
#include <QPainter>

namespace vistrel {
namespace {

const QRect kTopCaption(0, 0, kTileWidth, 13);
const QRect kFrame(3, 16, 122, 122);
const QRect kPicture(4, 17, 120, 120);
const QRect kBottomCaption(0, 140, kTileWidth, 26);
constexpr int kDragDistance = 10;

} // namespace

TthumbFrame::TthumbFrame(QWidget* parent) : QWidget(parent) {
    setFixedSize(kTileWidth, kTileHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TthumbFrame::setIndex(int index) {
    index_ = index;
    setObjectName(QStringLiteral("Thumb%1").arg(index));
}

void TthumbFrame::setCaptions(const QString& top, const QString& bottom) {
    top_ = top;
    bottom_ = bottom;
    setToolTip(top);
    update();
}

void TthumbFrame::setThumbnail(const QImage& image) {
    thumbnail_ = image;
    update();
}

void TthumbFrame::setSelected(bool selected) {
    if (selected_ == selected) return;
    selected_ = selected;
    update();
}

TthumbFrame::Part TthumbFrame::PartAt(const QPoint& point) {
    return (kTopCaption.contains(point) || kBottomCaption.contains(point)) ? Part::Caption : Part::Picture;
}

void TthumbFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::Text));
    QFontMetrics metrics(font());
    painter.drawText(kTopCaption, Qt::AlignCenter, metrics.elidedText(top_, Qt::ElideRight, kTileWidth - 2));
    painter.drawText(kBottomCaption, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, bottom_);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(kFrame.adjusted(0, 0, -1, -1));
    if (!thumbnail_.isNull()) {
        // The image may carry more pixels than 120x120 on a high-density screen; it is drawn into the
        // logical box, centred, so it stays crisp.
        QSizeF logical = thumbnail_.deviceIndependentSize();
        QSizeF fitted = logical.scaled(kPicture.size(), Qt::KeepAspectRatio);
        if (logical.width() <= kPicture.width() && logical.height() <= kPicture.height()) fitted = logical;
        QRectF target(QPointF(0, 0), fitted);
        target.moveCenter(QRectF(kPicture).center());
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, thumbnail_);
    }
    if (selected_) {
        QColor bar = palette().color(QPalette::Highlight);
        painter.fillRect(QRect(kFrame.left() - 2, kFrame.top(), 3, kFrame.height()), bar);
        painter.fillRect(QRect(kFrame.right(), kFrame.top(), 3, kFrame.height()), bar);
        painter.fillRect(QRect(kFrame.left() - 2, kFrame.top() - 2, kFrame.width() + 4, 3), bar);
        painter.fillRect(QRect(kFrame.left() - 2, kFrame.bottom(), kFrame.width() + 4, 3), bar);
    }
}

void TthumbFrame::mousePressEvent(QMouseEvent* event) {
    leftHeld_ = event->button() == Qt::LeftButton;
    pressPosition_ = event->position().toPoint();
    Q_EMIT pressed(index_, PartAt(pressPosition_), event->button(), event->modifiers());
}

void TthumbFrame::mouseMoveEvent(QMouseEvent* event) {
    if (!leftHeld_ || !(event->buttons() & Qt::LeftButton)) return;
    if (PartAt(pressPosition_) != Part::Picture) return;
    if ((event->position().toPoint() - pressPosition_).manhattanLength() < kDragDistance) return;
    leftHeld_ = false;
    Q_EMIT dragStarted(index_);
}

void TthumbFrame::mouseDoubleClickEvent(QMouseEvent* event) {
    Q_EMIT doubleClicked(index_, PartAt(event->position().toPoint()));
}

} // namespace vistrel
