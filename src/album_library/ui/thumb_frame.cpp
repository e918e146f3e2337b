#include "album_library/ui/thumb_frame.h"

#include "album_library/picture_grid.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

namespace vistrel {
namespace {

constexpr int kDragDistance = 10;

} // namespace

double TileScale(const QFont& font) {
    QFontMetricsF metrics(font);
    return GridScale(static_cast<int>(std::ceil(metrics.ascent()) + std::ceil(metrics.descent())));
}

TTileGeometry::TTileGeometry(double scale) {
    auto px = [scale](int pixels) { return ScaledPixels(pixels, scale); };
    size = QSize(px(kTileWidth), px(kTileHeight));
    topCaption = QRect(0, 0, size.width(), px(13));
    frame = QRect(px(3), px(16), px(122), px(122));
    picture = frame.adjusted(1, 1, -1, -1);
    // The text below takes the rest of the tile, so rounding never cuts its second line.
    bottomCaption = QRect(0, px(140), size.width(), size.height() - px(140));
    barWidth = px(3);
}

TthumbFrame::TthumbFrame(QWidget* parent, double scale) : QWidget(parent), geometry_(scale) {
    setFixedSize(geometry_.size);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TthumbFrame::setScale(double scale) {
    geometry_ = TTileGeometry(scale);
    setFixedSize(geometry_.size);
    update();
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

TthumbFrame::Part TthumbFrame::PartAt(const QPoint& point) const {
    return (geometry_.topCaption.contains(point) || geometry_.bottomCaption.contains(point)) ? Part::Caption
                                                                                             : Part::Picture;
}

void TthumbFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::Text));
    const TTileGeometry& g = geometry_;
    QFontMetrics metrics(font());
    painter.drawText(g.topCaption, Qt::AlignCenter,
                     metrics.elidedText(top_, Qt::ElideRight, g.size.width() - 2));
    painter.drawText(g.bottomCaption, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, bottom_);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(g.frame.adjusted(0, 0, -1, -1));
    if (!thumbnail_.isNull()) {
        // The image may carry more pixels than its box on a high-density screen; it is drawn into the
        // logical box, centred, so it stays crisp. A smaller image is never blown up.
        QSizeF logical = thumbnail_.deviceIndependentSize();
        QSizeF fitted = logical.scaled(g.picture.size(), Qt::KeepAspectRatio);
        if (logical.width() <= g.picture.width() && logical.height() <= g.picture.height()) fitted = logical;
        QRectF target(QPointF(0, 0), fitted);
        target.moveCenter(QRectF(g.picture).center());
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, thumbnail_);
    }
    if (selected_) {
        QColor bar = palette().color(QPalette::Highlight);
        const QRect& f = g.frame;
        int b = g.barWidth;
        painter.fillRect(QRect(f.left() - b + 1, f.top(), b, f.height()), bar);
        painter.fillRect(QRect(f.right(), f.top(), b, f.height()), bar);
        painter.fillRect(QRect(f.left() - b + 1, f.top() - b + 1, f.width() + 2 * b - 2, b), bar);
        painter.fillRect(QRect(f.left() - b + 1, f.bottom(), f.width() + 2 * b - 2, b), bar);
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
