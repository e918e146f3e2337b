#include "album_library/ui/thumb_grid.h"

#include "album_library/ui/thumb_frame.h"

#include <QApplication>
#include <QDir>
#include <QDrag>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QUrl>
#include <algorithm>

namespace vistrel {
namespace {

QString TileMime() {
    return QStringLiteral("application/x-vistrel-tile");
}

} // namespace

// The surface the tiles sit on. While the album is empty it shows the grid's hint in its middle; the
// hint is painted, not a widget, so it never takes a place in the layout of the tiles.
class TGridCanvas : public QWidget {
public:
    explicit TGridCanvas(const TThumbGrid& grid) : grid_(grid) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        grid_.paintEmptyHint(painter);
    }

private:
    const TThumbGrid& grid_;
};

namespace {

std::optional<TGridKey> GridKeyFor(int key) {
    switch (key) {
    case Qt::Key_Left:
        return TGridKey::Left;
    case Qt::Key_Right:
        return TGridKey::Right;
    case Qt::Key_Up:
        return TGridKey::Up;
    case Qt::Key_Down:
        return TGridKey::Down;
    case Qt::Key_Home:
        return TGridKey::Home;
    case Qt::Key_End:
        return TGridKey::End;
    case Qt::Key_PageUp:
        return TGridKey::PageUp;
    case Qt::Key_PageDown:
        return TGridKey::PageDown;
    default:
        return std::nullopt;
    }
}

// Reads one thumbnail for a picture box of `box` logical pixels on a screen of pixel density `ratio`.
// When the box needs far more pixels than the stored 120-pixel thumbnail has (a high-density screen,
// a large font), the picture itself is read, scaled down while decoding, so the tile stays sharp. A
// box only a little larger shows the stored thumbnail at its own size: reading every picture would
// cost far more than the few pixels are worth.
QImage ReadThumbnail(const QString& thumbPath, int box, qreal ratio) {
    int pixels = static_cast<int>(box * ratio);
    if (pixels > 180) {
        QString picture = QFileInfo(thumbPath).dir().filePath(QStringLiteral("../images/") +
                                                              QFileInfo(thumbPath).fileName());
        QImageReader reader(picture);
        QSize size = reader.size();
        if (size.isValid()) {
            QSize target = size.scaled(QSize(pixels, pixels), Qt::KeepAspectRatio);
            if (target.width() < size.width()) reader.setScaledSize(target);
            QImage image = reader.read();
            if (!image.isNull()) {
                image.setDevicePixelRatio(ratio);
                return image;
            }
        }
    }
    QImageReader reader(thumbPath);
    QImage image = reader.read();
    QSize size = image.size();
    if (!image.isNull() && (size.width() > 120 || size.height() > 120))
        image = image.scaled(QSize(120, 120), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

} // namespace

TThumbGrid::TThumbGrid(QWidget* parent) : QScrollArea(parent), container_(new TGridCanvas(*this)) {
    container_->setAutoFillBackground(true);
    container_->setBackgroundRole(QPalette::Base);
    setBackgroundRole(QPalette::Base);
    setWidget(container_);
    setWidgetResizable(false);
    setAcceptDrops(true);
    setFocusPolicy(Qt::StrongFocus);
    pool_.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
    scale_ = TileScale(font());
}

TThumbGrid::~TThumbGrid() {
    pool_.clear();
    pool_.waitForDone();
}

TthumbFrame* TThumbGrid::createTile(int index, const TTileData& data) {
    auto* tile = new TthumbFrame(container_, scale_);
    tile->setIndex(index);
    tile->setCaptions(data.top, data.bottom);
    connect(tile, &TthumbFrame::pressed, this,
            [this](int i, TthumbFrame::Part part, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
                onTilePressed(i, static_cast<int>(part), button, modifiers);
            });
    connect(tile, &TthumbFrame::doubleClicked, this, [this](int i, TthumbFrame::Part part) {
        if (!ready_) return;
        if (part == TthumbFrame::Part::Picture)
            Q_EMIT pictureDoubleClicked(i);
        else
            Q_EMIT captionDoubleClicked(i);
    });
    connect(tile, &TthumbFrame::dragStarted, this, &TThumbGrid::startDrag);
    return tile;
}

void TThumbGrid::clearTiles() {
    ++generation_;
    pool_.clear();
    pending_ = 0;
    for (auto* tile : tiles_)
        delete tile;
    tiles_.clear();
    data_.clear();
    selection_.Reset(0);
    updateContainerSize();
}

void TThumbGrid::setTiles(const QString& thumbsFolder, const std::vector<TTileData>& tiles) {
    clearTiles();
    thumbsFolder_ = thumbsFolder;
    data_ = tiles;
    columns_ = GridColumns(viewport()->width(), scale_);
    selection_.Reset(static_cast<int>(tiles.size()));
    tiles_.reserve(tiles.size());
    for (size_t i = 0; i < tiles.size(); ++i) {
        TthumbFrame* tile = createTile(static_cast<int>(i), tiles[i]);
        tiles_.push_back(tile);
        placeTile(tile);
        tile->show();
    }
    updateContainerSize();
    requestThumbnails();
}

void TThumbGrid::appendTile(const TTileData& data) {
    data_.push_back(data);
    TthumbFrame* tile = createTile(count(), data);
    tiles_.push_back(tile);
    selection_.Reset(count());
    placeTile(tile);
    tile->show();
    updateContainerSize();
    reloadThumbnail(count() - 1);
}

void TThumbGrid::updateTile(int index, const TTileData& data) {
    if (index < 0 || index >= count()) return;
    data_[static_cast<size_t>(index)] = data;
    tile(index)->setCaptions(data.top, data.bottom);
}

void TThumbGrid::reloadThumbnail(int index) {
    if (index < 0 || index >= count()) return;
    QString path = thumbsFolder_ + QLatin1Char('/') + data_[static_cast<size_t>(index)].fileName;
    tile(index)->setThumbnail(ReadThumbnail(path, PictureBox(), devicePixelRatioF()));
}

void TThumbGrid::requestThumbnails() {
    int generation = ++generation_;
    pool_.clear();
    // Visible tiles first, then the rest in order.
    int top = verticalScrollBar()->value();
    int pitchY = ScaledPixels(kTilePitchY, scale_);
    int firstRow = top / pitchY;
    int lastRow = (top + viewport()->height()) / pitchY;
    std::vector<int> order;
    for (int i = firstRow * columns_; i < std::min(count(), (lastRow + 1) * columns_); ++i)
        order.push_back(i);
    for (int i = 0; i < count(); ++i)
        if (i < firstRow * columns_ || i >= (lastRow + 1) * columns_) order.push_back(i);
    pending_ = static_cast<int>(order.size());
    qreal ratio = devicePixelRatioF();
    int box = PictureBox();
    for (int index : order) {
        QString path = thumbsFolder_ + QLatin1Char('/') + data_[static_cast<size_t>(index)].fileName;
        pool_.start([this, generation, index, path, box, ratio] {
            QImage image = ReadThumbnail(path, box, ratio);
            QMetaObject::invokeMethod(
                this,
                [this, generation, index, image] {
                    if (generation != generation_) return;
                    --pending_;
                    if (index < count()) tile(index)->setThumbnail(image);
                },
                Qt::QueuedConnection);
        });
    }
}

bool TThumbGrid::waitForThumbnails(int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (pending_ > 0 && timer.elapsed() < timeoutMs)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    return pending_ == 0;
}

void TThumbGrid::placeTile(TthumbFrame* tile) {
    TTilePosition position = TilePosition(tile->index(), columns_, scale_);
    tile->move(position.left, position.top);
}

void TThumbGrid::layoutTiles(int first, int last) {
    for (int i = std::max(0, first); i <= std::min(last, count() - 1); ++i)
        placeTile(tile(i));
    selection_.anchor.reset();
    updateContainerSize();
}

void TThumbGrid::updateContainerSize() {
    int rows = (count() + columns_ - 1) / columns_;
    container_->resize(
        std::max(viewport()->width(), columns_ * ScaledPixels(kTilePitchX, scale_) + ScaledPixels(8, scale_)),
        std::max(viewport()->height(), rows * ScaledPixels(kTilePitchY, scale_) + ScaledPixels(10, scale_)));
    container_->update();
}

int TThumbGrid::PictureBox() const {
    return TTileGeometry(scale_).picture.width();
}

void TThumbGrid::changeEvent(QEvent* event) {
    QScrollArea::changeEvent(event);
    if (event->type() != QEvent::FontChange) return;
    double scale = TileScale(font());
    if (scale == scale_) return;
    // A new font size gives the tiles new measures and, with them, a new column count and sharper
    // (or smaller) thumbnails.
    scale_ = scale;
    for (auto* frame : tiles_)
        frame->setScale(scale_);
    columns_ = GridColumns(viewport()->width(), scale_);
    layoutTiles(0, count() - 1);
    if (count() > 0) requestThumbnails();
}

void TThumbGrid::setEmptyHint(const QString& hint) {
    emptyHint_ = hint;
    container_->update();
}

bool TThumbGrid::isEmptyHintShown() const {
    return count() == 0 && !emptyHint_.isEmpty();
}

QRect TThumbGrid::emptyHintRect() const {
    // Centred in the visible part of the grid, with room on either side to wrap into lines.
    QRect visible(container_->mapFrom(viewport(), QPoint(0, 0)), viewport()->size());
    int margin = ScaledPixels(24, scale_);
    return visible.adjusted(margin, margin, -margin, -margin);
}

void TThumbGrid::paintEmptyHint(QPainter& painter) const {
    if (!isEmptyHintShown()) return;
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(emptyHintRect(), Qt::AlignCenter | Qt::TextWordWrap, emptyHint_);
}

void TThumbGrid::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    int columns = GridColumns(viewport()->width(), scale_);
    if (columns != columns_) {
        columns_ = columns;
        layoutTiles(0, count() - 1);
    }
    updateContainerSize();
}

void TThumbGrid::renumber(int first) {
    for (int i = std::max(0, first); i < count(); ++i)
        tile(i)->setIndex(i);
}

void TThumbGrid::syncSelection() {
    for (int i = 0; i < count(); ++i)
        tile(i)->setSelected(selection_.IsSelected(i));
    Q_EMIT selectionChanged();
}

void TThumbGrid::selectAllTiles() {
    selection_.SelectAll();
    syncSelection();
}

void TThumbGrid::applySelectionAt(int index, Qt::KeyboardModifiers modifiers) {
    if (!ready_) return;
    selection_.ApplyRule(index, modifiers & Qt::ShiftModifier, modifiers & Qt::ControlModifier);
    syncSelection();
}

void TThumbGrid::scrollIntoView(int index) {
    if (index < 0 || index >= count()) return;
    ensureWidgetVisible(tile(index), 8, 8);
}

void TThumbGrid::removeTiles(const std::vector<int>& indices) {
    std::vector<int> sorted = indices;
    std::sort(sorted.rbegin(), sorted.rend());
    for (int index : sorted) {
        if (index < 0 || index >= count()) continue;
        delete tiles_[static_cast<size_t>(index)];
        tiles_.erase(tiles_.begin() + index);
        data_.erase(data_.begin() + index);
    }
    selection_.Reset(count());
    renumber(0);
    layoutTiles(0, count() - 1);
    syncSelection();
}

void TThumbGrid::moveTile(int from, int to) {
    if (from == to || from < 0 || to < 0 || from >= count() || to >= count()) return;
    bool wasSelected = selection_.IsSelected(from);
    MoveItem(tiles_, from, to);
    MoveItem(data_, from, to);
    std::vector<bool> flags;
    for (int i = 0; i < count(); ++i)
        flags.push_back(selection_.IsSelected(i));
    MoveItem(flags, from, to);
    flags[static_cast<size_t>(to)] = wasSelected;
    for (int i = 0; i < count(); ++i)
        selection_.SetSelected(i, flags[static_cast<size_t>(i)]);
    renumber(0);
    layoutTiles(std::min(from, to), std::max(from, to));
    syncSelection();
}

void TThumbGrid::onTilePressed(int index, int part, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
    if (!ready_) return;
    if (part == static_cast<int>(TthumbFrame::Part::Caption)) {
        if (button == Qt::LeftButton) {
            selection_.DeselectAll();
            syncSelection();
        }
        return;
    }
    setFocus(Qt::MouseFocusReason);
    if (button == Qt::LeftButton || (button == Qt::RightButton && !selection_.IsSelected(index))) {
        applySelectionAt(index, modifiers);
        selection_.keyboardPosition = index;
    }
    if (button == Qt::RightButton) Q_EMIT contextMenuRequested(QCursor::pos());
}

void TThumbGrid::startDrag(int index) {
    if (!ready_) return;
    auto* mime = new QMimeData;
    mime->setData(TileMime(), QByteArray::number(index));
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->setPixmap(tile(index)->grab().scaled(64, 83, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    drag->exec(Qt::MoveAction); // Esc cancels
}

int TThumbGrid::tileIndexAt(const QPoint& viewportPos) const {
    QPoint point = container_->mapFrom(viewport(), viewportPos);
    for (QWidget* child = container_->childAt(point); child; child = child->parentWidget())
        if (auto* frame = qobject_cast<TthumbFrame*>(child)) return frame->index();
    return -1;
}

void TThumbGrid::mousePressEvent(QMouseEvent* event) {
    if (ready_) {
        selection_.DeselectAll();
        syncSelection();
        if (event->button() == Qt::RightButton) Q_EMIT contextMenuRequested(QCursor::pos());
    }
    QScrollArea::mousePressEvent(event);
}

void TThumbGrid::keyPressEvent(QKeyEvent* event) {
    // The grid moves on the release of a key; the press must not also scroll the area.
    if (GridKeyFor(event->key()) && count() > 0) return;
    QScrollArea::keyPressEvent(event);
}

void TThumbGrid::keyReleaseEvent(QKeyEvent* event) {
    auto key = GridKeyFor(event->key());
    if (!key || count() == 0 || !ready_) return QScrollArea::keyReleaseEvent(event);
    std::optional<int> old = selection_.keyboardPosition;
    int position = MoveKeyboardPosition(old, *key, count(), columns_);
    if (!old || position != *old) {
        selection_.keyboardPosition = position;
        applySelectionAt(position, event->modifiers());
        scrollIntoView(position);
    }
}

void TThumbGrid::focusInEvent(QFocusEvent* event) {
    QScrollArea::focusInEvent(event);
    if (count() > 0 && !selection_.FirstSelected() && event->reason() != Qt::MouseFocusReason)
        applySelectionAt(0, {});
}

void TThumbGrid::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasFormat(TileMime()) ? event->source() == this : event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TThumbGrid::dragMoveEvent(QDragMoveEvent* event) {
    event->acceptProposedAction();
}

void TThumbGrid::dropEvent(QDropEvent* event) {
    const QMimeData* mime = event->mimeData();
    if (mime->hasFormat(TileMime()) && event->source() == this) {
        int from = mime->data(TileMime()).toInt();
        int target = tileIndexAt(event->position().toPoint());
        if (target >= 0 && target != from && ready_) Q_EMIT moveRequested(from, target);
    } else if (mime->hasUrls()) {
        QStringList paths;
        for (const QUrl& url : mime->urls())
            if (url.isLocalFile()) paths << url.toLocalFile();
        Q_EMIT filesDropped(paths);
    }
    event->acceptProposedAction();
}

} // namespace vistrel
