#pragma once
// The thumbnail grid: a white scroll area with one tile per picture of the open album, laid out in
// columns of 136 x 174 pixels, grown with the font (see picture_grid.h). Thumbnails are read on worker
// threads, the visible ones first, so a large album shows its first screen at once and fills the rest while
// the user can already scroll.
#include "album_library/picture_grid.h"

#include <QScrollArea>
#include <QThreadPool>
#include <vector>

class QPainter;

namespace vistrel {

class TGridCanvas;
class TthumbFrame;

struct TTileData {
    QString fileName; // in the thumbs folder
    QString top;
    QString bottom;
};

class TThumbGrid : public QScrollArea {
    Q_OBJECT
public:
    explicit TThumbGrid(QWidget* parent);
    ~TThumbGrid() override;

    // Replaces all tiles. Thumbnails are read from `thumbsFolder` in the background.
    void setTiles(const QString& thumbsFolder, const std::vector<TTileData>& tiles);
    void clearTiles();
    void appendTile(const TTileData& tile);
    void updateTile(int index, const TTileData& tile);
    void reloadThumbnail(int index);
    void removeTiles(const std::vector<int>& indices);
    void moveTile(int from, int to);

    int count() const { return static_cast<int>(tiles_.size()); }
    int columns() const { return columns_; }
    // The factor of the grid's measures, from the line height of its font.
    double scale() const { return scale_; }
    TPictureSelection& selection() { return selection_; }
    void syncSelection();
    void selectAllTiles();
    void scrollIntoView(int index);
    void layoutTiles(int first, int last);

    // While not ready (the main window is locked) clicks, drags and caption clicks do nothing.
    void setReady(bool ready) { ready_ = ready; }
    bool isReady() const { return ready_; }

    // Waits until every requested thumbnail has been read and shown (tests, benchmarks).
    bool waitForThumbnails(int timeoutMs);
    int pendingThumbnails() const { return pending_; }

    // A text shown in the middle of the grid while it holds no tile.
    void setEmptyHint(const QString& hint);
    QString emptyHint() const { return emptyHint_; }
    bool isEmptyHintShown() const;
    QRect emptyHintRect() const; // in the coordinates of widget()
    void paintEmptyHint(QPainter& painter) const;

    TthumbFrame* tile(int index) const { return tiles_.at(static_cast<size_t>(index)); }
    void applySelectionAt(int index, Qt::KeyboardModifiers modifiers);

Q_SIGNALS:
    void selectionChanged();
    void pictureDoubleClicked(int index);
    void captionDoubleClicked(int index);
    void contextMenuRequested(const QPoint& globalPos);
    void moveRequested(int from, int to);
    void filesDropped(const QStringList& paths);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    TthumbFrame* createTile(int index, const TTileData& data);
    void placeTile(TthumbFrame* tile);
    void renumber(int first);
    void requestThumbnails();
    void onTilePressed(int index, int part, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void startDrag(int index);
    int tileIndexAt(const QPoint& viewportPos) const;
    void updateContainerSize();
    int PictureBox() const;

    TGridCanvas* container_;
    std::vector<TthumbFrame*> tiles_;
    std::vector<TTileData> data_;
    TPictureSelection selection_;
    QString thumbsFolder_;
    int columns_ = 1;
    double scale_ = 1.0;
    QString emptyHint_;
    bool ready_ = true;
    int generation_ = 0;
    int pending_ = 0;
    QThreadPool pool_;
};

} // namespace vistrel
