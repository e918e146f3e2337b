#include "app/main_window.h"

#include "album_library/ui/album_tree.h"
#include "album_library/ui/import_actions.h"
#include "album_library/ui/info_dialogs.h"
#include "album_library/ui/thumb_frame.h"
#include "album_library/ui/thumb_grid.h"
#include "app/about_box.h"
#include "app/main_window_status.h"
#include "common/cp1252.h"
#include "program/help_pages.h"
#include "publishing/ui/ftp_windows.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

namespace vistrel {
namespace {

QString ToQPath(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

// Room a desktop's window frame and title bar take from the screen's free area.
const QSize kFrameAllowance(16, 48);

} // namespace

TMainWindow::TMainWindow(const std::filesystem::path& programFolder, UserPrompts* prompts)
    : prompts_(this), context_(programFolder, prompts ? *prompts : prompts_), tree_(new TAlbumTree(this)),
      grid_(new TThumbGrid(this)), splitter_(new QSplitter(this)), statusAlbum_(new TStatusPanel),
      statusStyle_(new TStatusPanel), editInfoForm_(new TEditInfoForm(this)),
      editAlbumInfoForm_(new TEditAlbumInfoForm(this)), aboutBox_(new TAboutBox(this)),
      ftpProtocol_(new TftpProtoForm(this)), testPrompts_(prompts) {
    setObjectName(QStringLiteral("VEzarIzaraRuzaZeza"));
    setWindowTitle(QStringLiteral("Vantro Vistrel"));
    // 785 x 567 with a tree of 225 for a 13-pixel line; a larger font makes all of it larger.
    resize(ScaledPixels(785, Scale()), ScaledPixels(567, Scale()));
    splitter_->addWidget(tree_);
    splitter_->addWidget(grid_);
    splitter_->setHandleWidth(4);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({ScaledPixels(225, Scale()), ScaledPixels(560, Scale())});
    setCentralWidget(splitter_);
    grid_->setEmptyHint(QStringLiteral("Ziehen Sie Bilder oder Ordner hierher oder wählen Sie "
                                       "\u201eBild importieren...\u201c (Strg+I)."));
    // The two panels share the bar (450 : 500) and never paint over each other; long paths are
    // shortened in the middle and shown whole as tool tips.
    statusBar()->addWidget(statusAlbum_, 450);
    statusBar()->addWidget(statusStyle_, 500);
    CreateActions();
    CreateMenus();

    connect(tree_, &TAlbumTree::rowSelected, this, &TMainWindow::SelectAlbumRow);
    connect(tree_, &TAlbumTree::publishToggled, this, [this](int index, bool published) {
        if (!context_.albums.IsValidIndex(index)) return;
        context_.albums[index].Published = published;
        autosave_.AlbumsChanged();
    });
    connect(tree_, &TAlbumTree::rowDoubleClicked, this, [this] { actRenameGalleryExecute(); });
    connect(tree_, &TAlbumTree::moveRequested, this, &TMainWindow::MoveAlbumTo);
    connect(tree_, &TAlbumTree::contextMenuRequested, this, [this](const QPoint& pos) {
        if (ready_) treeMenu_->popup(pos);
    });
    connect(grid_, &TThumbGrid::selectionChanged, this, &TMainWindow::UpdateActions);
    connect(grid_, &TThumbGrid::pictureDoubleClicked, this, &TMainWindow::EditPicture);
    connect(grid_, &TThumbGrid::captionDoubleClicked, this, &TMainWindow::EditPictureInfo);
    connect(editInfoForm_, &TEditInfoForm::stepRequested, this, &TMainWindow::StepPictureInfo);
    connect(grid_, &TThumbGrid::moveRequested, this, &TMainWindow::MovePicture);
    connect(grid_, &TThumbGrid::filesDropped, importActions_, &TImportActions::FilesDropped);
    connect(grid_, &TThumbGrid::contextMenuRequested, this, [this](const QPoint& pos) {
        if (ready_) gridMenu_->popup(pos);
    });
    UpdateActions();
}

TMainWindow::~TMainWindow() = default;

void TMainWindow::StartUp(bool showSplash) {
    context_.Start();
    if (showSplash) {
        aboutBox_->lbVersion->setText(VersionText());
        aboutBox_->ShowAsSplash();
        QTimer::singleShot(3000, aboutBox_, [this] {
            if (aboutBox_->isVisible() && !aboutBox_->isModal()) aboutBox_->close();
        });
    }
    tree_->fill(context_.albums);
    tree_->selectRow(0);
    OpenAlbum();
}

void TMainWindow::RestorePlacement() {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        context_.settings.screen = {screen->size().width(), screen->size().height(),
                                    static_cast<int>(screen->logicalDotsPerInch())};
    }
    int treeWidth = ScaledPixels(225, Scale());
    TLoadedPlacement loaded = context_.settings.LoadMainPlacement(treeWidth);
    if (loaded.hasRect) {
        const TWindowRect& r = loaded.placement.normal;
        setGeometry(r.left, r.top, r.right - r.left, r.bottom - r.top);
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), FirstSize(screen->availableGeometry()));
        frame.moveCenter(screen->availableGeometry().center());
        resize(frame.size());
        move(frame.topLeft());
    }
    if (loaded.show == TShowState::Maximized) setWindowState(Qt::WindowMaximized);
    splitter_->setSizes({std::max(50, treeWidth), std::max(200, width() - treeWidth)});
}

double TMainWindow::Scale() const {
    return TileScale(font());
}

QSize TMainWindow::FirstSize(const QRect& available) const {
    QSize wanted(ScaledPixels(785, Scale()), ScaledPixels(567, Scale()));
    // With the desktop's font the tool bar may want more than the scaled width; below its width the
    // last buttons would hide behind the overflow arrow.
    if (auto* bar = findChild<QToolBar*>(QStringLiteral("ToolBar")))
        wanted.setWidth(
            std::max(wanted.width(),
                     bar->sizeHint().width() + 2 * bar->style()->pixelMetric(QStyle::PM_ToolBarFrameWidth)));
    return wanted.boundedTo(available.size() - kFrameAllowance).expandedTo(QSize(400, 300));
}

void TMainWindow::SavePlacement() {
    TWindowPlacement placement;
    QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    placement.normal = {normal.left(), normal.top(), normal.right() + 1, normal.bottom() + 1};
    placement.show = isMinimized()   ? TShowState::Minimized
                     : isMaximized() ? TShowState::Maximized
                                     : TShowState::Normal;
    context_.settings.SaveMainPlacement(placement, splitter_->sizes().value(0, 225));
}

void TMainWindow::closeEvent(QCloseEvent* event) {
    if (!ready_) {
        event->ignore();
        return;
    }
    SavePlacement();
    autosave_.Flush();
    CloseAlbum(true);
    clipboard_.Clear();
    context_.SaveAtExit();
    event->accept();
}

void TMainWindow::LockMainWindow() {
    ready_ = false;
    grid_->setReady(false);
    tree_->setEnabled(false);
    grid_->setEnabled(false);
    lockedActions_.clear();
    for (auto& [name, action] : actions_) {
        lockedActions_[action] = action->isEnabled();
        action->setEnabled(false);
    }
}

void TMainWindow::UnlockMainWindow() {
    for (auto& [action, enabled] : lockedActions_)
        action->setEnabled(enabled);
    lockedActions_.clear();
    tree_->setEnabled(true);
    grid_->setEnabled(true);
    grid_->setReady(true);
    ready_ = true;
    UpdateActions();
}

TTileData TMainWindow::TileFor(const TPictureEntry& entry) const {
    QString bottom = AnsiToDisplay(entry.Text());
    bottom.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return {QString::fromStdString(entry.FileName()), AnsiToDisplay(entry.Caption()), bottom};
}

void TMainWindow::OpenAlbum() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    tree_->setEnabled(false);
    openAlbum_ = context_.albums.Current();
    openThumbs_ = context_.albums.ThumbsPath(openAlbum_);
    pictures_ = context_.albums.OpenPictureList(openAlbum_);
    autosave_.SetOpenPictures(openAlbum_, &pictures_);
    std::vector<TTileData> tiles;
    tiles.reserve(pictures_.size());
    for (const auto& picture : pictures_)
        tiles.push_back(TileFor(picture));
    grid_->setTiles(ToQPath(openThumbs_), tiles);
    QApplication::restoreOverrideCursor();
    tree_->setEnabled(ready_);
    ShowStatus();
    UpdateActions();
}

void TMainWindow::CloseAlbum(bool save) {
    if (save && context_.albums.IsValidIndex(openAlbum_))
        context_.albums.SavePictureList(openAlbum_, pictures_);
    autosave_.SetOpenPictures(TAlbumList::kNone, nullptr);
    grid_->clearTiles();
    pictures_.clear();
    UpdateActions();
}

void TMainWindow::SelectAlbumRow(int index) {
    if (!context_.albums.IsValidIndex(index)) return;
    if (context_.albums.ThumbsPath(index) == openThumbs_) return;
    context_.albums.SetCurrent(index);
    tree_->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QApplication::processEvents();
    CloseAlbum(true);
    OpenAlbum();
    QApplication::restoreOverrideCursor();
    tree_->setEnabled(true);
    tree_->setFocus();
}

void TMainWindow::ShowStatusText(const QString& text) {
    statusAlbum_->setParts(text, QString(), QString());
}

void TMainWindow::ShowStatus() {
    QString folder = context_.albums.IsValidIndex(openAlbum_)
                         ? ToQPath(context_.albums.AlbumFolder() / context_.albums[openAlbum_].FolderName)
                         : QString();
    statusAlbum_->setPathParts(QStringLiteral("\""), folder,
                               QStringLiteral("\" enthält %1 Bilder").arg(pictures_.size()));
    statusStyle_->setPathParts(QStringLiteral("Style: "), ToQPath(context_.settings.CurrentStyleFolder()),
                               QString());
}

void TMainWindow::ScrollIntoView(int index) {
    grid_->scrollIntoView(index);
}

void TMainWindow::LayoutTiles(int first, int last) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    grid_->layoutTiles(first, last);
    QApplication::restoreOverrideCursor();
    ShowStatus();
}

std::optional<int> TMainWindow::FirstSelectedPicture() const {
    return grid_->selection().FirstSelected();
}

void TMainWindow::ShowHelp(int context) {
    OpenUrl(QUrl::fromLocalFile(ToQPath(HelpPagePath(context_.folders, context))).toString());
}

void TMainWindow::OpenUrl(const QString& url) {
    QDesktopServices::openUrl(QUrl(url));
}

} // namespace vistrel
