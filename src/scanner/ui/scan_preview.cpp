#include "scanner/ui/scan_preview.h"

#include "image_processing/dib_graphic.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace vistrel {

QImage ToQImage(const TDibGraphic& picture) {
    QImage image(picture.Width(), picture.Height(), QImage::Format_RGB32);
    for (int y = 0; y < picture.Height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < picture.Width(); ++x)
            row[x] = 0xFF000000u | picture.ReadPixel(x, y);
    }
    return image;
}

TScanPreview::TScanPreview(QWidget* parent) : QWidget(parent) {
    setMinimumSize(200, 200);
    setCursor(Qt::CrossCursor);
}

void TScanPreview::SetPicture(const QImage& picture, const QRectF& whole) {
    picture_ = picture;
    SetWholeArea(whole);
}

void TScanPreview::SetWholeArea(const QRectF& whole) {
    if (whole.width() > 0 && whole.height() > 0) whole_ = whole;
    update();
}

void TScanPreview::SetArea(const QRectF& area) {
    area_ = area;
    update();
}

QRectF TScanPreview::Frame() const {
    QRectF box = QRectF(rect()).adjusted(4, 4, -4, -4);
    double scale = std::min(box.width() / whole_.width(), box.height() / whole_.height());
    QSizeF size(whole_.width() * scale, whole_.height() * scale);
    return {box.center().x() - size.width() / 2, box.center().y() - size.height() / 2, size.width(),
            size.height()};
}

QPointF TScanPreview::ToMillimetres(const QPointF& point) const {
    QRectF frame = Frame();
    double x = (point.x() - frame.left()) / frame.width() * whole_.width() + whole_.left();
    double y = (point.y() - frame.top()) / frame.height() * whole_.height() + whole_.top();
    return {std::clamp(x, whole_.left(), whole_.right()), std::clamp(y, whole_.top(), whole_.bottom())};
}

QPointF TScanPreview::ToWidget(const QPointF& mm) const {
    QRectF frame = Frame();
    return {frame.left() + (mm.x() - whole_.left()) / whole_.width() * frame.width(),
            frame.top() + (mm.y() - whole_.top()) / whole_.height() * frame.height()};
}

void TScanPreview::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    QRectF frame = Frame();
    if (picture_.isNull()) {
        p.fillRect(frame, Qt::white);
        p.setPen(palette().color(QPalette::PlaceholderText));
        p.drawText(frame, Qt::AlignCenter | Qt::TextWordWrap,
                   QStringLiteral("Für eine Vorschau „Vorschau“ wählen"));
    } else {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(frame, picture_);
    }
    p.setPen(QPen(palette().color(QPalette::Mid), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(frame);
    if (area_.isValid()) {
        // What lies outside the area is dimmed, so the area shows on any picture.
        QRectF chosen(ToWidget(area_.topLeft()), ToWidget(area_.bottomRight()));
        QPainterPath outside;
        outside.addRect(frame);
        outside.addRect(chosen);
        p.fillPath(outside, QColor(0, 0, 0, 140));
        p.setPen(QPen(Qt::white, 2, Qt::DashLine));
        p.drawRect(chosen);
    }
}

void TScanPreview::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    dragging_ = true;
    dragStart_ = ToMillimetres(event->position());
}

void TScanPreview::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return;
    SetArea(QRectF(dragStart_, ToMillimetres(event->position())).normalized());
}

void TScanPreview::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_ || event->button() != Qt::LeftButton) return;
    dragging_ = false;
    QRectF area = QRectF(dragStart_, ToMillimetres(event->position())).normalized();
    // A click without a drag would make an empty area; it keeps the one chosen before.
    if (area.width() < 1 || area.height() < 1) {
        update();
        return;
    }
    SetArea(area);
    emit AreaChosen(area);
}

} // namespace vistrel
