// The album and picture operations as the main window runs them: the logic does the work, the window
// asks, shows and redraws.
#include "album_library/picture_files.h"
#include "album_library/ui/info_dialogs.h"
#include "album_library/ui/thumb_frame.h"
#include "album_library/ui/thumb_grid.h"
#include "app_shell/ui/album_tree.h"
#include "app_shell/ui/main_window.h"
#include "common/cp1252.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <filesystem>

namespace vistrel {

void TMainWindow::actNewGalleryExecute() {
    editAlbumInfoForm_->edGalleryName->clear();
    editAlbumInfoForm_->edGalleryInfo->clear();
    editAlbumInfoForm_->edGalleryText->clear();
    if (editAlbumInfoForm_->exec() != QDialog::Accepted) return;
    CloseAlbum(true);
    int index = CreateNewAlbum(context_.albums, QStringToAnsi(editAlbumInfoForm_->edGalleryName->text()),
                               QStringToAnsi(editAlbumInfoForm_->edGalleryInfo->text()),
                               StoredFromMemo(editAlbumInfoForm_->edGalleryText->toPlainText()));
    tree_->fill(context_.albums);
    tree_->selectRow(index);
    OpenAlbum();
    tree_->setFocus();
}

void TMainWindow::actRenameGalleryExecute() {
    int index = tree_->selectedRow();
    if (!context_.albums.IsValidIndex(index)) return;
    TAlbumEntry& album = context_.albums[index];
    editAlbumInfoForm_->edGalleryName->setText(AnsiToDisplay(album.Title));
    editAlbumInfoForm_->edGalleryInfo->setText(AnsiToDisplay(album.Info));
    editAlbumInfoForm_->edGalleryText->setPlainText(MemoFromStored(album.Text));
    if (editAlbumInfoForm_->exec() != QDialog::Accepted) return;
    ApplyAlbumInfo(context_.albums, index, QStringToAnsi(editAlbumInfoForm_->edGalleryName->text()),
                   QStringToAnsi(editAlbumInfoForm_->edGalleryInfo->text()),
                   StoredFromMemo(editAlbumInfoForm_->edGalleryText->toPlainText()));
    tree_->updateRow(index, context_.albums);
    if (index == openAlbum_) openThumbs_ = context_.albums.ThumbsPath(index);
    ShowStatus();
}

void TMainWindow::actDeleteGalleryExecute() {
    int index = tree_->selectedRow();
    if (!context_.albums.IsValidIndex(index) || context_.albums[index].FolderName.empty()) return;
    CloseAlbum(false);
    DeleteAlbum(context_.albums, index);
    tree_->fill(context_.albums);
    tree_->selectRow(context_.albums.Current());
    OpenAlbum();
}

void TMainWindow::MoveAlbumTo(int from, int to) {
    if (!ready_ || !MoveAlbum(context_.albums, from, to)) return;
    if (openAlbum_ == from) {
        openAlbum_ = to;
    } else {
        if (from < openAlbum_ && to >= openAlbum_) --openAlbum_;
        else if (from > openAlbum_ && to <= openAlbum_) ++openAlbum_;
    }
    tree_->fill(context_.albums);
    tree_->selectRow(to);
    context_.albums.SetCurrent(to);
}

void TMainWindow::actAlbumUpExecute() {
    int index = tree_->selectedRow();
    if (index > 0) MoveAlbumTo(index, index - 1);
}

void TMainWindow::actAlbumDownExecute() {
    int index = tree_->selectedRow();
    if (index >= 0 && index + 1 < context_.albums.Count()) MoveAlbumTo(index, index + 1);
}

void TMainWindow::actDeleteImageExecute() {
    std::vector<int> selected = grid_->selection().Selected();
    if (selected.empty()) return;
    if (!context_.prompts.AskYesNo(DeletePicturesQuestion(static_cast<int>(selected.size())))) return;
    for (int index : selected) context_.albums.DeletePictureFiles(pictures_[static_cast<size_t>(index)].FileName());
    for (auto it = selected.rbegin(); it != selected.rend(); ++it) pictures_.erase(pictures_.begin() + *it);
    grid_->removeTiles(selected);
    ShowStatus();
}

void TMainWindow::actMarkAllExecute() { grid_->selectAllTiles(); }

void TMainWindow::actEditInfoExecute() {
    if (auto first = FirstSelectedPicture()) EditPictureInfo(*first);
}

void TMainWindow::EditPictureInfo(int index) {
    if (index < 0 || index >= static_cast<int>(pictures_.size())) return;
    TPictureEntry& entry = pictures_[static_cast<size_t>(index)];
    editInfoForm_->Edit1->setText(AnsiToDisplay(entry.Title()));
    editInfoForm_->Memo1->setPlainText(MemoFromStored(entry.Text()));
    if (editInfoForm_->exec() != QDialog::Accepted) return;
    SetPictureInfo(entry, QStringToAnsi(editInfoForm_->Edit1->text()),
                   StoredFromMemo(editInfoForm_->Memo1->toPlainText()));
    grid_->updateTile(index, TileFor(entry));
}

void TMainWindow::actRotateExecute(double degrees) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (int index : grid_->selection().Selected()) {
        const std::string& name = pictures_[static_cast<size_t>(index)].FileName();
        try {
            RotatePictureFile(context_.albums.ImagesPath(openAlbum_), openThumbs_, name, degrees);
        } catch (const std::exception& error) {
            QApplication::restoreOverrideCursor();
            context_.prompts.ShowMessage(error.what(), MessageKind::Error);
            return;
        }
        grid_->reloadThumbnail(index);
        QApplication::processEvents();
    }
    QApplication::restoreOverrideCursor();
}

void TMainWindow::actUseForGalleryExecute() {
    auto first = FirstSelectedPicture();
    if (!first || !context_.albums.IsValidIndex(openAlbum_)) return;
    context_.albums[openAlbum_].PreviewPicture = pictures_[static_cast<size_t>(*first)].FileName();
}

void TMainWindow::actCopyExecute(TClipboardMode mode) {
    CopyToClipboard(clipboard_, context_.albums, pictures_, grid_->selection().Selected(), mode);
    UpdateActions();
}

void TMainWindow::actPasteExecute() {
    if (!clipboard_.CanPaste()) return;
    LockMainWindow();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    TPasteResult result = PastePictures(context_.albums, openAlbum_, pictures_, clipboard_, FirstSelectedPicture());
    if (result.reopen) {
        grid_->clearTiles();
        OpenAlbum();
        if (result.scrollTo) ScrollIntoView(*result.scrollTo);
    } else {
        for (int index : result.appended) grid_->appendTile(TileFor(pictures_[static_cast<size_t>(index)]));
        if (!result.appended.empty()) ScrollIntoView(result.appended.back());
    }
    ShowStatus();
    QApplication::restoreOverrideCursor();
    UnlockMainWindow();
}

void TMainWindow::MovePicture(int from, int to) {
    if (!ready_) return;
    MoveItem(pictures_, from, to);
    grid_->moveTile(from, to);
}

} // namespace vistrel
