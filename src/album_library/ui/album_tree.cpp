#include "album_library/ui/album_tree.h"

#include "album_library/album_list.h"
#include "album_library/picture_grid.h"
#include "album_library/ui/thumb_frame.h"
#include "common/cp1252.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <algorithm>

namespace vistrel {

TAlbumTree::TAlbumTree(QWidget* parent) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("XPTree"));
    setColumnCount(3);
    setHeaderLabels(
        {QStringLiteral("Fotoalbum"), QStringLiteral("Album Info"), QStringLiteral("Album Text")});
    // The measures are those of a 13-pixel line, grown with the font like the grid's.
    double scale = TileScale(font());
    header()->setMinimumSectionSize(ScaledPixels(50, scale));
    header()->setSectionsMovable(true);
    header()->setFixedHeight(ScaledPixels(24, scale));
    header()->setStretchLastSection(false);
    setColumnWidth(0, ScaledPixels(120, scale));
    setColumnWidth(1, ScaledPixels(100, scale));
    setColumnWidth(2, ScaledPixels(300, scale));
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::InternalMove);
    setContextMenuPolicy(Qt::NoContextMenu);

    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (!filling_ && item) Q_EMIT rowSelected(indexOfTopLevelItem(item));
    });
    connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        if (!filling_ && column == 0)
            Q_EMIT publishToggled(indexOfTopLevelItem(item), item->checkState(0) == Qt::Checked);
    });
    connect(this, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { Q_EMIT rowDoubleClicked(indexOfTopLevelItem(item)); });
}

void TAlbumTree::fill(const TAlbumList& albums) {
    filling_ = true;
    clear();
    for (int i = 0; i < albums.Count(); ++i) {
        auto* item = new QTreeWidgetItem(this);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable |
                       Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled);
        updateRow(i, albums);
    }
    filling_ = false;
    fitTitleColumn();
}

void TAlbumTree::fitTitleColumn() {
    // Titles show whole as far as the tree is wide; the other columns follow to the right of them.
    int minimum = ScaledPixels(120, TileScale(font()));
    int room = std::max(minimum, viewport()->width());
    setColumnWidth(0, std::clamp(sizeHintForColumn(0), minimum, room));
}

void TAlbumTree::updateRow(int index, const TAlbumList& albums) {
    QTreeWidgetItem* item = topLevelItem(index);
    if (!item || !albums.IsValidIndex(index)) return;
    bool wasFilling = filling_;
    filling_ = true;
    const TAlbumEntry& album = albums[index];
    item->setText(0, AnsiToDisplay(album.Title.empty() ? album.FolderName : album.Title));
    item->setText(1, AnsiToDisplay(album.Info));
    QString text = AnsiToDisplay(album.Text);
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    item->setText(2, text);
    item->setCheckState(0, album.Published ? Qt::Checked : Qt::Unchecked);
    filling_ = wasFilling;
}

int TAlbumTree::selectedRow() const {
    return currentItem() ? indexOfTopLevelItem(currentItem()) : -1;
}

void TAlbumTree::selectRow(int index) {
    QTreeWidgetItem* item = topLevelItem(index);
    if (!item) return;
    bool wasFilling = filling_;
    filling_ = true;
    setCurrentItem(item);
    filling_ = wasFilling;
}

void TAlbumTree::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        // The row under the mouse is selected before the popup menu opens, so the menu acts on it.
        if (QTreeWidgetItem* item = itemAt(event->position().toPoint())) setCurrentItem(item);
        Q_EMIT contextMenuRequested(event->globalPosition().toPoint());
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

void TAlbumTree::dragEnterEvent(QDragEnterEvent* event) {
    if (event->source() == this)
        QTreeWidget::dragEnterEvent(event);
    else
        event->ignore();
}

void TAlbumTree::dragMoveEvent(QDragMoveEvent* event) {
    if (event->source() == this)
        QTreeWidget::dragMoveEvent(event);
    else
        event->ignore();
}

void TAlbumTree::dropEvent(QDropEvent* event) {
    // The tree does not move its own rows: the album list moves the album and the tree is filled anew.
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
    if (event->source() != this) return;
    QTreeWidgetItem* target = itemAt(event->position().toPoint());
    int from = selectedRow();
    int to = target ? indexOfTopLevelItem(target) : -1;
    if (from >= 0 && to >= 0 && from != to) Q_EMIT moveRequested(from, to);
}

} // namespace vistrel
