#pragma once
// A panel of the main window's status bar. It shows a head, a path and a tail; when the panel is too
// narrow only the path is shortened, in its middle, so the head and the tail (an album's name and its
// picture count, a style's name) always stay readable. The whole text is the tool tip.
#include <QLabel>

namespace vistrel {

class TStatusPanel : public QLabel {
    Q_OBJECT
public:
    explicit TStatusPanel(QWidget* parent = nullptr);

    void setParts(const QString& head, const QString& path, const QString& tail);
    // A path shown whole up to its last component; the part before it is what may be shortened.
    void setPathParts(const QString& head, const QString& path, const QString& tail);
    QString fullText() const { return head_ + path_ + tail_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void elide();

    QString head_;
    QString path_;
    QString tail_;
};

} // namespace vistrel
