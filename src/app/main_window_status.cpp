#include "app/main_window_status.h"

#include <QFontMetrics>
#include <algorithm>

namespace vistrel {

TStatusPanel::TStatusPanel(QWidget* parent) : QLabel(parent) {
    // The bar gives the panel its width; the text adapts to it, never the other way round.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setMinimumWidth(80);
    // Folder names are the user's: a "<" in one must not turn the panel into rich text.
    setTextFormat(Qt::PlainText);
}

void TStatusPanel::setParts(const QString& head, const QString& path, const QString& tail) {
    head_ = head;
    path_ = path;
    tail_ = tail;
    setToolTip(fullText());
    elide();
}

void TStatusPanel::setPathParts(const QString& head, const QString& path, const QString& tail) {
    int lastSeparator = path.lastIndexOf(QLatin1Char('/'));
    setParts(head, path.left(lastSeparator + 1), path.mid(lastSeparator + 1) + tail);
}

void TStatusPanel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    elide();
}

void TStatusPanel::elide() {
    QFontMetrics metrics(font());
    int room = contentsRect().width() - 2 * margin() - metrics.horizontalAdvance(head_ + tail_);
    QString path = metrics.horizontalAdvance(path_) <= room
                       ? path_
                       : metrics.elidedText(path_, Qt::ElideMiddle, std::max(0, room));
    // Even when nothing of the path fits, a mark shows that something was left out.
    if (path.isEmpty() && !path_.isEmpty()) path = QStringLiteral("\u2026");
    setText(head_ + path + tail_);
}

} // namespace vistrel
