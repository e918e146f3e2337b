#pragma once
// The picture view of the editor and of the gamma dialog: the picture at a zoom of its mode, centred
// when smaller than the view, with scroll bars when larger and a hand that drags it. Only the
// visible part is drawn, straight from the picture, so a zoom step costs the same at 25 % and 400 %.
#include "image_processing/dib_graphic.h"
#include "image_processing/edit_zoom.h"

#include <QAbstractScrollArea>
#include <QImage>

namespace vistrel {

class TImageScrollBox : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TImageScrollBox(QWidget* parent);

    // The picture shown; owned by the caller (the edit session or the gamma dialog), may be null.
    void SetPicture(const TDibGraphic* picture);
    const TDibGraphic* CurrentPicture() const { return picture_; }

    bool AntiAliased() const { return antiAliased_; }
    void SetAntiAliased(bool on) { antiAliased_ = on; }
    bool Centered() const { return centered_; }
    void SetCentered(bool on) { centered_ = on; }
    TZoomMode ZoomMode() const { return zoom_.Mode(); }
    // A change of mode redraws the view.
    void SetZoomMode(TZoomMode mode);
    float ZoomPercent() const { return zoom_.Percent(); }
    // Ignored when already in zmPercent at that percent, for an empty picture and at 0.1 or less.
    void SetZoomPercent(float percent);

    // After the picture changed: zoom of the mode, display size, scroll bars at 0, a repaint.
    void Redraw();

    TViewSize DisplaySize() const { return display_; }
    // Where the zoomed picture's top-left corner sits in the view, scrolling included.
    QPoint ImageOrigin() const;
    QPoint ScrollPosition() const;
    void SetScrollPosition(const QPoint& position);
    // The visible part as drawn (tests, screenshots).
    QImage VisiblePart();

Q_SIGNALS:
    void zoomChanged();
    void redrawn();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void UpdateScrollBars();
    QRect VisibleDisplayRect() const;
    bool ScrollBarShown() const;

    const TDibGraphic* picture_ = nullptr;
    TViewZoom zoom_;
    TViewSize display_;
    bool antiAliased_ = false;
    bool centered_ = true;
    bool redrawing_ = false;
    // The last drawn part, kept while neither the picture nor the part changes (repaints of a
    // window that was covered cost nothing).
    QImage cache_;
    QRect cacheRect_;
    quint64 generation_ = 0;
    quint64 cacheGeneration_ = ~quint64(0);
    bool dragging_ = false;
    QPoint pressPoint_; // in zoomed-picture coordinates
};

} // namespace vistrel
