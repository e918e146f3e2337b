// "Bild bearbeiten...": the picture editor on the first selected picture, and the write-back of a
// changed picture and its thumbnail with the import's progress window.
#include "album_library/ui/import_actions.h"
#include "album_library/ui/status_form.h"
#include "album_library/ui/thumb_frame.h"
#include "album_library/ui/thumb_grid.h"
#include "app_shell/program_folders.h"
#include "app_shell/ui/about_box.h"
#include "app_shell/ui/main_window.h"
#include "image_processing/edit_write_back.h"
#include "image_processing/ui/image_editor.h"

#include <QApplication>
#include <QImage>

namespace vistrel {
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
        imageEditor_->OnAbout = [this] { aboutBox_->exec(); };
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

    TStatusForm* status = findChild<TImportActions*>()->StatusForm();
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
    if (!result.Ok()) context_.prompts.ShowMessage(WriteBackMessage(result, params), MessageKind::Error);
    editor->ClearPicture();
}

} // namespace vistrel
