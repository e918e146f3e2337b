#pragma once
// The album tree: one row per album, no hierarchy, a publish check box per row and the columns
// "Fotoalbum", "Album Info" and "Album Text". Rows are moved by dragging within the tree.
#include <QTreeWidget>

namespace vistrel {

class TAlbumList;

class TAlbumTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit TAlbumTree(QWidget* parent);

    void fill(const TAlbumList& albums);
    void updateRow(int index, const TAlbumList& albums);
    int selectedRow() const;
    void selectRow(int index);
    // Widens "Fotoalbum" to its longest title, up to the tree's width and never below its first width.
    void fitTitleColumn();

Q_SIGNALS:
    void rowSelected(int index);
    void publishToggled(int index, bool published);
    void rowDoubleClicked(int index);
    void moveRequested(int from, int to);
    void contextMenuRequested(const QPoint& globalPos);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool filling_ = false;
};

} // namespace vistrel
