// The album and picture operations as the main window runs them: the logic does the work, the window
// asks, shows and redraws.
#include "album_library/picture_files.h"
#include "album_library/ui/album_tree.h"
#include "album_library/ui/import_actions.h"
#include "album_library/ui/info_dialogs.h"
#include "album_library/ui/status_form.h"
#include "album_library/ui/thumb_frame.h"
#include "album_library/ui/thumb_grid.h"
#include "app/about_box.h"
#include "app/main_window.h"
#include "common/cp1252.h"
#include "image_processing/edit_write_back.h"
#include "image_processing/ui/image_editor.h"
#include "invitations/ui/invite_form.h"
#include "publishing/ui/publish_form.h"
#include "settings/program_folders.h"
#include "settings/ui/settings_form.h"
#include "site_generator/ui/gen_stat.h"
#include "site_generator/ui/site_actions.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
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
    autosave_.AlbumsChanged();
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
    // A renamed folder must reach the list at once: after a crash the old name would be dropped
    // and the renamed folder come back as a new album without its title and texts.
    autosave_.AlbumsChanged();
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
        if (from < openAlbum_ && to >= openAlbum_)
            --openAlbum_;
        else if (from > openAlbum_ && to <= openAlbum_)
            ++openAlbum_;
    }
    autosave_.OpenAlbumMoved(openAlbum_);
    autosave_.AlbumsChanged();
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
    for (int index : selected)
        context_.albums.DeletePictureFiles(pictures_[static_cast<size_t>(index)].FileName());
    for (auto it = selected.rbegin(); it != selected.rend(); ++it)
        pictures_.erase(pictures_.begin() + *it);
    grid_->removeTiles(selected);
    autosave_.PicturesChanged();
    ShowStatus();
}

void TMainWindow::actMarkAllExecute() {
    grid_->selectAllTiles();
}

void TMainWindow::actEditInfoExecute() {
    if (auto first = FirstSelectedPicture()) EditPictureInfo(*first);
}

// The dialog stays open while "Zurück"/"Weiter" move through the album; each picture's fields are
// stored as it is left, and "Ok" stores the last one.
void TMainWindow::EditPictureInfo(int index) {
    if (index < 0 || index >= static_cast<int>(pictures_.size())) return;
    FillPictureInfo(index);
    if (editInfoForm_->exec() != QDialog::Accepted) return;
    StorePictureInfo(infoIndex_);
}

void TMainWindow::FillPictureInfo(int index) {
    infoIndex_ = index;
    const TPictureEntry& entry = pictures_[static_cast<size_t>(index)];
    editInfoForm_->Edit1->setText(AnsiToDisplay(entry.Title()));
    editInfoForm_->Memo1->setPlainText(MemoFromStored(entry.Text()));
    editInfoForm_->ShowPicture(
        QString::fromStdString((context_.albums.ImagesPath(openAlbum_) / entry.FileName()).string()));
    editInfoForm_->SetStepsEnabled(index > 0, index + 1 < static_cast<int>(pictures_.size()));
    editInfoForm_->Edit1->setFocus();
    editInfoForm_->Edit1->selectAll();
}

void TMainWindow::StorePictureInfo(int index) {
    if (index < 0 || index >= static_cast<int>(pictures_.size())) return;
    TPictureEntry& entry = pictures_[static_cast<size_t>(index)];
    std::string title = QStringToAnsi(editInfoForm_->Edit1->text());
    std::string text = StoredFromMemo(editInfoForm_->Memo1->toPlainText());
    // Nothing to write when the fields are as stored; otherwise as "Ok" always did.
    if (title == entry.Title() && text == entry.Text() && entry.Fields().size() >= 3) return;
    SetPictureInfo(entry, title, text);
    grid_->updateTile(index, TileFor(entry));
    autosave_.PicturesChanged();
}

void TMainWindow::StepPictureInfo(int delta) {
    int next = infoIndex_ + delta;
    if (!editInfoForm_->isVisible() || next < 0 || next >= static_cast<int>(pictures_.size())) return;
    StorePictureInfo(infoIndex_);
    FillPictureInfo(next);
    ScrollIntoView(next);
}

void TMainWindow::actRotateExecute(double degrees) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (int index : grid_->selection().Selected()) {
        const std::string& name = pictures_[static_cast<size_t>(index)].FileName();
        try {
            RotatePictureFile(context_.albums.ImagesPath(openAlbum_), openThumbs_, name, degrees);
        } catch (const std::exception& error) {
            QApplication::restoreOverrideCursor();
            context_.prompts.ShowMessage(RotateFailureMessage(name, error.what()), MessageKind::Error);
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
    autosave_.AlbumsChanged();
}

void TMainWindow::actCopyExecute(TClipboardMode mode) {
    CopyToClipboard(clipboard_, context_.albums, pictures_, grid_->selection().Selected(), mode);
    UpdateActions();
}

void TMainWindow::actPasteExecute() {
    if (!clipboard_.CanPaste()) return;
    LockMainWindow();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    TPasteResult result =
        PastePictures(context_.albums, openAlbum_, pictures_, clipboard_, FirstSelectedPicture());
    if (result.reopen) {
        grid_->clearTiles();
        OpenAlbum();
        if (result.scrollTo) ScrollIntoView(*result.scrollTo);
    } else {
        for (int index : result.appended)
            grid_->appendTile(TileFor(pictures_[static_cast<size_t>(index)]));
        if (!result.appended.empty()) ScrollIntoView(result.appended.back());
    }
    if (result.changed) autosave_.PicturesChanged();
    ShowStatus();
    QApplication::restoreOverrideCursor();
    UnlockMainWindow();
}

void TMainWindow::MovePicture(int from, int to) {
    if (!ready_) return;
    MoveItem(pictures_, from, to);
    grid_->moveTile(from, to);
    autosave_.PicturesChanged();
}

// What the import needs of the main window beyond its public services: the tile of a picture it added.
void TMainWindow::ShowImportedPicture(int index, bool appended) {
    if (index < 0 || index >= static_cast<int>(pictures_.size())) return;
    if (appended)
        grid_->appendTile(TileFor(pictures_[static_cast<size_t>(index)]));
    else
        grid_->reloadThumbnail(index);
    autosave_.PicturesChanged();
}

// The site actions of the main window: preview, style choice and the CD-ROM export. The site
// generator does the work; the window lends it its lock, its status bar and the open picture list.
TGenStat* TMainWindow::GenStat() {
    if (!genStat_) genStat_ = new TGenStat(this);
    return genStat_;
}

TSiteWindowHooks TMainWindow::SiteHooks() {
    TSiteWindowHooks hooks;
    hooks.lockMainWindow = [this] { LockMainWindow(); };
    hooks.unlockMainWindow = [this] { UnlockMainWindow(); };
    hooks.saveOpenPictureList = [this] {
        if (context_.albums.IsValidIndex(openAlbum_)) context_.albums.SavePictureList(openAlbum_, pictures_);
    };
    hooks.albumPublished = [this](int index) {
        tree_->updateRow(index, context_.albums);
        autosave_.AlbumsChanged();
    };
    hooks.showStatus = [this] { ShowStatus(); };
    return hooks;
}

void TMainWindow::actPreviewExecute() {
    TSiteWindowHooks hooks = SiteHooks();
    RunPreview(context_, *GenStat(), hooks);
}

void TMainWindow::actSelectStyleExecute() {
    TSiteWindowHooks hooks = SiteHooks();
    ShowSelectStyle(this, context_.settings, hooks);
}

void TMainWindow::actCDROMExecute() {
    TSiteWindowHooks hooks = SiteHooks();
    ShowCdromExport(this, context_, *GenStat(), hooks);
}

// "&Einstellungen...": the settings dialog over the program's settings.
TSettingsForm* TMainWindow::SettingsForm() {
    // One dialog for the whole run, so its page and position persist between showings. It is made at
    // its first use rather than at start-up: by then the settings and their stored position are loaded.
    if (!settingsForm_) {
        settingsForm_ = new TSettingsForm(context_.settings, context_.prompts, this);
        settingsForm_->SetHelpHandler([this](int context) { ShowHelp(context); });
    }
    return settingsForm_;
}

void TMainWindow::actSettingsExecute() {
    SettingsForm()->exec();
}

// "Alben im Web veröffentlichen..." (F10): generate the site, then the publish dialog. The dialog's
// "&Einstellungen..." opens the program's settings dialog on its page "Veröffentlichen".
void TMainWindow::actPublishExecute() {
    TSiteWindowHooks hooks = SiteHooks();
    RunPublish(this, context_, {publishPassword_, *ftpProtocol_}, *GenStat(), hooks, [this] {
        TSettingsForm* form = SettingsForm();
        form->PageControl->setCurrentIndex(static_cast<int>(TSettingsPage::Publish));
        form->exec();
    });
}

// "Bild bearbeiten...": the picture editor on the first selected picture, and the write-back of a
// changed picture and its thumbnail with the import's progress window.
namespace {

// The write-back's steps on the import's progress window.
class TStatusFormWriteBack : public WriteBackProgress {
public:
    explicit TStatusFormWriteBack(TStatusForm& form) : form_(form) {}
    void ShowStep(const std::string& step) override { form_.ShowStep(step); }
    void StepProgress(int percent) override { form_.StepProgress(percent); }
    void ProcessEvents() override { form_.ProcessEvents(); }

private:
    TStatusForm& form_;
};

QImage ThumbnailImage(const TDibGraphic& thumbnail) {
    QImage image(thumbnail.Width(), thumbnail.Height(), QImage::Format_RGB32);
    for (int y = 0; y < thumbnail.Height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < thumbnail.Width(); ++x)
            row[x] = 0xFF000000u | thumbnail.ReadPixel(x, y);
    }
    return image;
}

} // namespace

TImageEditor* TMainWindow::ImageEditor() {
    if (!imageEditor_) {
        imageEditor_ = new TImageEditor(this, EditorPlacementFile(), testPrompts_);
        imageEditor_->OnHelp = [this](int context) { ShowHelp(context); };
        imageEditor_->OnAbout = [this] { aboutBox_->ShowModal(); };
    }
    return imageEditor_;
}

void TMainWindow::EditPicture(int index) {
    if (index < 0 || index >= static_cast<int>(pictures_.size())) return;
    std::filesystem::path path =
        context_.albums.ImagesPath(openAlbum_) / pictures_[static_cast<size_t>(index)].FileName();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return;
    TImageEditor* editor = ImageEditor();
    editor->SetPicturePath(path);
    if (editor->exec() != QDialog::Accepted || !editor->Session().Modified()) return;

    TStatusForm* status = importActions_->StatusForm();
    TStatusFormWriteBack progress(*status);
    TWriteBackParams params{&editor->CurrentPicture(), path, openThumbs_};
    TDibGraphic thumbnail;
    status->Start(1);
    status->ShowPicture(path);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    TWriteBackResult result = WriteBackEditedPicture(params, progress, thumbnail);
    QApplication::restoreOverrideCursor();
    status->Close();
    if (!thumbnail.IsEmpty() && result.code != TWriteBackCode::PictureWriteFailed)
        grid_->tile(index)->setThumbnail(ThumbnailImage(thumbnail));
    if (!result.Ok()) {
        std::string message = WriteBackMessage(result, params);
        if (result.code == TWriteBackCode::PictureWriteFailed ||
            result.code == TWriteBackCode::ThumbWriteFailed)
            message += " " + ImportProblemMessage(TImportProblem::WriteFailed);
        if (!result.detail.empty()) message += "\r\nDetails: " + Utf8ToAnsi(result.detail);
        context_.prompts.ShowMessage(message, MessageKind::Error);
    }
    editor->ClearPicture();
}

// "Einladungen verschicken...": the invitation dialog for the first selected picture of the open album.
TInviteForm* TMainWindow::InviteForm() {
    if (!inviteForm_) {
        inviteForm_ = new TInviteForm(context_, this);
        inviteForm_->SetHelpHandler([this](int context) { ShowHelp(context); });
    }
    return inviteForm_;
}

void TMainWindow::actInviteExecute() {
    auto first = FirstSelectedPicture();
    if (!first || !context_.albums.IsValidIndex(openAlbum_) || *first >= static_cast<int>(pictures_.size()))
        return;
    TInviteForm* form = InviteForm();
    form->Prepare(context_.albums[openAlbum_].FolderName, pictures_[static_cast<size_t>(*first)].FileName());
    form->exec();
}

} // namespace vistrel
