#include "app/main_window.h"

#include "album_library/ui/import_actions.h"
#include "album_library/ui/info_dialogs.h"
#include "album_library/ui/thumb_grid.h"
#include "app/about_box.h"
#include "publishing/ftp_client.h"
#include "publishing/ui/ftp_windows.h"
#include "album_library/ui/album_tree.h"
#include "common/cp1252.h"
#include "program/help_pages.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

namespace vistrel {
namespace {

QString ToQPath(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

} // namespace

TMainWindow::TMainWindow(const std::filesystem::path& programFolder, UserPrompts* prompts)
    : prompts_(this),
      context_(programFolder, prompts ? *prompts : prompts_),
      tree_(new TAlbumTree(this)),
      grid_(new TThumbGrid(this)),
      splitter_(new QSplitter(this)),
      statusAlbum_(new QLabel),
      statusStyle_(new QLabel),
      editInfoForm_(new TEditInfoForm(this)),
      editAlbumInfoForm_(new TEditAlbumInfoForm(this)),
      aboutBox_(new TAboutBox(this)),
      ftpClient_(new TFtpClient(this)),
      ftpProtocol_(new TftpProtoForm(this)),
      testPrompts_(prompts) {
    setObjectName(QStringLiteral("VEzarIzaraRuzaZeza"));
    setWindowTitle(QStringLiteral("Vantro Vistrel"));
    resize(785, 567);
    splitter_->addWidget(tree_);
    splitter_->addWidget(grid_);
    splitter_->setHandleWidth(4);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({225, 560});
    setCentralWidget(splitter_);
    // The two panels share the bar (450 : 500) and never paint over each other; long paths are cut
    // and shown whole as tool tips.
    for (QLabel* panel : {statusAlbum_, statusStyle_}) {
        panel->setMinimumWidth(80);
        panel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
    statusBar()->addWidget(statusAlbum_, 450);
    statusBar()->addWidget(statusStyle_, 500);
    CreateActions();
    CreateMenus();

    connect(tree_, &TAlbumTree::rowSelected, this, &TMainWindow::SelectAlbumRow);
    connect(tree_, &TAlbumTree::publishToggled, this, [this](int index, bool published) {
        if (context_.albums.IsValidIndex(index)) context_.albums[index].Published = published;
    });
    connect(tree_, &TAlbumTree::rowDoubleClicked, this, [this] { actRenameGalleryExecute(); });
    connect(tree_, &TAlbumTree::moveRequested, this, &TMainWindow::MoveAlbumTo);
    connect(tree_, &TAlbumTree::contextMenuRequested, this, [this](const QPoint& pos) {
        if (ready_) treeMenu_->popup(pos);
    });
    connect(grid_, &TThumbGrid::selectionChanged, this, &TMainWindow::UpdateActions);
    connect(grid_, &TThumbGrid::pictureDoubleClicked, this, &TMainWindow::EditPicture);
    connect(grid_, &TThumbGrid::captionDoubleClicked, this, &TMainWindow::EditPictureInfo);
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
        aboutBox_->show();
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
    int treeWidth = 225;
    TLoadedPlacement loaded = context_.settings.LoadMainPlacement(treeWidth);
    if (loaded.hasRect) {
        const TWindowRect& r = loaded.placement.normal;
        setGeometry(r.left, r.top, r.right - r.left, r.bottom - r.top);
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    if (loaded.show == TShowState::Maximized) setWindowState(Qt::WindowMaximized);
    splitter_->setSizes({std::max(50, treeWidth), std::max(200, width() - treeWidth)});
}

void TMainWindow::SavePlacement() {
    TWindowPlacement placement;
    QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    placement.normal = {normal.left(), normal.top(), normal.right() + 1, normal.bottom() + 1};
    placement.show = isMinimized() ? TShowState::Minimized
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
    for (auto& [action, enabled] : lockedActions_) action->setEnabled(enabled);
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
    std::vector<TTileData> tiles;
    tiles.reserve(pictures_.size());
    for (const auto& picture : pictures_) tiles.push_back(TileFor(picture));
    grid_->setTiles(ToQPath(openThumbs_), tiles);
    QApplication::restoreOverrideCursor();
    tree_->setEnabled(ready_);
    ShowStatus();
    UpdateActions();
}

void TMainWindow::CloseAlbum(bool save) {
    if (save && context_.albums.IsValidIndex(openAlbum_)) context_.albums.SavePictureList(openAlbum_, pictures_);
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
    statusAlbum_->setText(text);
}

void TMainWindow::ShowStatus() {
    QString folder = context_.albums.IsValidIndex(openAlbum_)
                         ? ToQPath(context_.albums.AlbumFolder() / context_.albums[openAlbum_].FolderName)
                         : QString();
    statusAlbum_->setText(QStringLiteral("\"%1\" enth\u00e4lt %2 Bilder").arg(folder).arg(pictures_.size()));
    statusStyle_->setText(QStringLiteral("Style: ") + ToQPath(context_.settings.CurrentStyleFolder()));
    statusAlbum_->setToolTip(statusAlbum_->text());
    statusStyle_->setToolTip(statusStyle_->text());
}

void TMainWindow::ScrollIntoView(int index) { grid_->scrollIntoView(index); }

void TMainWindow::LayoutTiles(int first, int last) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    grid_->layoutTiles(first, last);
    QApplication::restoreOverrideCursor();
    ShowStatus();
}

std::optional<int> TMainWindow::FirstSelectedPicture() const { return grid_->selection().FirstSelected(); }

void TMainWindow::ShowHelp(int context) {
    OpenUrl(QUrl::fromLocalFile(ToQPath(HelpPagePath(context_.folders, context))).toString());
}

void TMainWindow::OpenUrl(const QString& url) { QDesktopServices::openUrl(QUrl(url)); }

} // namespace vistrel
