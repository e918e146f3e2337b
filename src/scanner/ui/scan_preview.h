#pragma once
// The preview of the scan dialog: the whole area of the device scanned at a low resolution, with the
// chosen scan area drawn over it. Dragging with the mouse chooses a new area.
#include <QImage>
#include <QRectF>
#include <QWidget>

namespace vistrel {

class TDibGraphic;

// The picture as the screen shows it; the preview's own small copy.
QImage ToQImage(const TDibGraphic& picture);

class TScanPreview : public QWidget {
    Q_OBJECT
public:
    explicit TScanPreview(QWidget* parent);

    // `whole` is the device's whole area in millimetres, which the preview picture covers.
    void SetPicture(const QImage& picture, const QRectF& whole);
    void SetWholeArea(const QRectF& whole);
    void SetArea(const QRectF& area);
    bool HasPicture() const { return !picture_.isNull(); }

    QSize sizeHint() const override { return {300, 300}; }

signals:
    // A new area in millimetres, chosen by dragging.
    void AreaChosen(const QRectF& area);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Where the whole area lies in the widget, keeping its proportions.
    QRectF Frame() const;
    QPointF ToMillimetres(const QPointF& point) const;
    QPointF ToWidget(const QPointF& millimetres) const;

    QImage picture_;
    QRectF whole_{0, 0, 210, 297};
    QRectF area_;
    QPointF dragStart_;
    bool dragging_ = false;
};

} // namespace vistrel
