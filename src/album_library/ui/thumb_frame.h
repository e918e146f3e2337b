#pragma once
// One tile of the thumbnail grid: the caption above, the framed thumbnail, the text below and, while
// selected, four bars in the highlight colour. The tile paints everything itself instead of holding
// child labels: an album of thousands of pictures then costs one widget per picture.
// Its measures grow with the grid's scale (see picture_grid.h), so the captions fit the font.
#include <QImage>
#include <QRect>
#include <QString>
#include <QWidget>

namespace vistrel {

// The grid's scale for `font`: its line height over the 13 pixels the measures were made for. The
// line is the font's ascent and descent each rounded up, so that glyphs reaching into the last
// partial pixel row (an underscore, the tail of a "g") are never cut.
double TileScale(const QFont& font);

// Where the parts of a tile lie at a scale: 128 x 166 with a 13-pixel caption line at scale 1.
struct TTileGeometry {
    explicit TTileGeometry(double scale = 1.0);
    QSize size;
    QRect topCaption;
    QRect frame;
    QRect picture; // inside the frame's one-pixel border
    QRect bottomCaption;
    int barWidth;
};

class TthumbFrame : public QWidget {
    Q_OBJECT
public:
    enum class Part { Picture, Caption };

    explicit TthumbFrame(QWidget* parent, double scale = 1.0);

    int index() const { return index_; }
    void setIndex(int index);
    void setCaptions(const QString& top, const QString& bottom);
    void setThumbnail(const QImage& image);
    const QImage& thumbnail() const { return thumbnail_; }
    void setSelected(bool selected);
    bool isSelected() const { return selected_; }
    QString topCaption() const { return top_; }
    QString bottomCaption() const { return bottom_; }

    const TTileGeometry& geometry() const { return geometry_; }
    void setScale(double scale);
    // Which part of the tile a point (tile coordinates) hits: the two captions or the picture area.
    Part PartAt(const QPoint& point) const;

Q_SIGNALS:
    void pressed(int index, Part part, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void doubleClicked(int index, Part part);
    void dragStarted(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    TTileGeometry geometry_;
    int index_ = 0;
    bool selected_ = false;
    QString top_;
    QString bottom_;
    QImage thumbnail_;
    QPoint pressPosition_;
    bool leftHeld_ = false;
};

} // namespace vistrel
