#include "image_processing/ui/image_scroll_box.h"

#include "image_processing/view_render.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

namespace vistrel {

TImageScrollBox::TImageScrollBox(QWidget* parent) : QAbstractScrollArea(parent) {
    setFrameShape(QFrame::StyledPanel);
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    // The scroll bars move the picture while they are dragged, not only when released.
    horizontalScrollBar()->setTracking(true);
    verticalScrollBar()->setTracking(true);
}

void TImageScrollBox::SetPicture(const TDibGraphic* picture) {
    picture_ = picture;
    Redraw();
}

void TImageScrollBox::SetZoomMode(TZoomMode mode) {
    zoom_.SetMode(mode);
    Redraw();
}

void TImageScrollBox::SetZoomPercent(float percent) {
    if (!zoom_.SetPercent(percent, !picture_ || picture_->IsEmpty())) return;
    Redraw();
    emit zoomChanged();
}

void TImageScrollBox::Redraw() {
    if (redrawing_) return;
    redrawing_ = true;
    ++generation_;
    if (!picture_ || picture_->IsEmpty()) {
        display_ = {};
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    } else {
        QSize client = maximumViewportSize();
        TViewSize picture{picture_->Width(), picture_->Height()};
        bool changed = zoom_.Update({client.width(), client.height()}, picture);
        display_ = vistrel::DisplaySize(picture, zoom_.Percent());
        Qt::ScrollBarPolicy policy =
            ModeHidesScrollBars(zoom_.Mode()) ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
        setHorizontalScrollBarPolicy(policy);
        setVerticalScrollBarPolicy(policy);
        UpdateScrollBars();
        horizontalScrollBar()->setValue(0);
        verticalScrollBar()->setValue(0);
        if (changed) emit zoomChanged();
    }
    viewport()->update();
    redrawing_ = false;
    emit redrawn();
}

void TImageScrollBox::UpdateScrollBars() {
    QSize view = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, display_.width - view.width()));
    horizontalScrollBar()->setPageStep(std::max(1, view.width()));
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setRange(0, std::max(0, display_.height - view.height()));
    verticalScrollBar()->setPageStep(std::max(1, view.height()));
    verticalScrollBar()->setSingleStep(20);
}

bool TImageScrollBox::ScrollBarShown() const {
    return horizontalScrollBar()->maximum() > 0 || verticalScrollBar()->maximum() > 0;
}

QPoint TImageScrollBox::ScrollPosition() const {
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

void TImageScrollBox::SetScrollPosition(const QPoint& position) {
    horizontalScrollBar()->setValue(position.x());
    verticalScrollBar()->setValue(position.y());
}

QPoint TImageScrollBox::ImageOrigin() const {
    QSize view = viewport()->size();
    int x = centered_ ? CentredOffset(view.width(), display_.width) : 0;
    int y = centered_ ? CentredOffset(view.height(), display_.height) : 0;
    return QPoint(x, y) - ScrollPosition();
}

QRect TImageScrollBox::VisibleDisplayRect() const {
    QRect view(-ImageOrigin(), viewport()->size());
    return view.intersected(QRect(0, 0, display_.width, display_.height));
}

QImage TImageScrollBox::VisiblePart() {
    QRect part = VisibleDisplayRect();
    if (!picture_ || picture_->IsEmpty() || part.isEmpty()) return {};
    if (cacheGeneration_ == generation_ && cacheRect_ == part) return cache_;
    QImage image(part.size(), QImage::Format_RGB32);
    RenderDisplayPart(*picture_, display_, {part.x(), part.y(), part.width(), part.height()},
                      StretchModeFor(*picture_, antiAliased_), reinterpret_cast<uint32_t*>(image.bits()),
                      static_cast<int>(image.bytesPerLine() / 4));
    cache_ = image;
    cacheRect_ = part;
    cacheGeneration_ = generation_;
    return image;
}

void TImageScrollBox::paintEvent(QPaintEvent*) {
    QImage part = VisiblePart();
    if (part.isNull()) return;
    QPainter painter(viewport());
    painter.drawImage(ImageOrigin() + cacheRect_.topLeft(), part);
}

void TImageScrollBox::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    Redraw();
}

void TImageScrollBox::scrollContentsBy(int, int) {
    viewport()->update();
}

void TImageScrollBox::mousePressEvent(QMouseEvent* event) {
    QPoint inPicture = event->position().toPoint() - ImageOrigin();
    bool onPicture = QRect(0, 0, display_.width, display_.height).contains(inPicture);
    if (event->button() == Qt::RightButton || !onPicture || !ScrollBarShown()) return;
    dragging_ = true;
    pressPoint_ = inPicture;
    viewport()->setCursor(Qt::SizeAllCursor);
}

// The point pressed stays under the mouse: the scroll positions move by the press point minus the
// current point, both in the zoomed picture's coordinates.
void TImageScrollBox::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return;
    QPoint current = event->position().toPoint() - ImageOrigin();
    SetScrollPosition(ScrollPosition() + pressPoint_ - current);
    viewport()->repaint();
}

void TImageScrollBox::mouseReleaseEvent(QMouseEvent*) {
    if (!dragging_) return;
    dragging_ = false;
    if (viewport()->cursor().shape() == Qt::SizeAllCursor) viewport()->unsetCursor();
}

} // namespace vistrel
