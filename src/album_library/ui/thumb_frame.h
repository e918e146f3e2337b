#pragma once
// One tile of the thumbnail grid: the caption above, the framed thumbnail, the text below and, while
// selected, four bars in the highlight colour. The tile paints everything itself instead of holding
// child labels: an album of thousands of pictures then costs one widget per picture.
#include <QImage>
#include <QString>
#include <QWidget>

namespace vistrel {

class TthumbFrame : public QWidget {
    Q_OBJECT
public:
    enum class Part { Picture, Caption };

    explicit TthumbFrame(QWidget* parent);

    int index() const { return index_; }
    void setIndex(int index);
    void setCaptions(const QString& top, const QString& bottom);
    void setThumbnail(const QImage& image);
    const QImage& thumbnail() const { return thumbnail_; }
    void setSelected(bool selected);
    bool isSelected() const { return selected_; }
    QString topCaption() const { return top_; }
    QString bottomCaption() const { return bottom_; }

    // Which part of the tile a point (tile coordinates) hits: the two captions or the picture area.
    static Part PartAt(const QPoint& point);

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
    int index_ = 0;
    bool selected_ = false;
    QString top_;
    QString bottom_;
    QImage thumbnail_;
    QPoint pressPosition_;
    bool leftHeld_ = false;
};

} // namespace vistrel
