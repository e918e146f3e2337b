#pragma once
// Writing an edited album picture back: the picture as JPEG of quality 75 under its path with the
// extension ".jpg", and a new thumbnail made from it with Lanczos3 into the album's "thumbs" folder.
// Both files are encoded before either is written and each replaces its old file atomically, so a
// failure of the encoder leaves the album as it was. A large version of the picture gets the same
// changes and is written last; where that fails it is removed, so that it never shows the picture
// as it was before the edit.
#include "common/job.h"
#include "image_processing/dib_graphic.h"
#include "image_processing/edit_session.h"

#include <filesystem>
#include <string>

namespace vistrel {

inline constexpr const char* kStepSavePicture = "Bild speichern";
inline constexpr int kEditThumbnailSide = 120;

struct TWriteBackParams {
    const TDibGraphic* picture = nullptr;
    std::filesystem::path picturePath;  // <album>/images/<file name>
    std::filesystem::path thumbsFolder; // <album>/thumbs
    // The picture's large version (<album>/large/<file name>), rewritten with `changes` made on it
    // when the file is there; empty for none.
    std::filesystem::path largePath{};
    const TEditChanges* changes = nullptr;
    int largeQuality = 85;
};

enum class TWriteBackCode {
    Ok,
    NoPicture,          // the picture is empty
    EncodingFailed,     // the JPEG encoder or the thumbnail's resize failed; nothing written
    PictureWriteFailed, // the picture file could not be written; nothing changed
    ThumbWriteFailed,   // the picture was written, its thumbnail could not be
};

using TWriteBackResult = TJobResult<TWriteBackCode>;

// The progress of the write-back: the step in work and its percent.
class WriteBackProgress : public JobControl {
public:
    virtual void ShowStep(const std::string& step) { (void)step; }
    virtual void StepProgress(int percent) { (void)percent; }
};

// The thumbnail of a w x h picture: 120 x Round(120 / aspect) for a landscape picture (h < w),
// Round(aspect · 120) x 120 otherwise, with aspect = w / h; each side at least 2.
struct TThumbnailSize {
    int width = 0;
    int height = 0;
};
TThumbnailSize EditThumbnailSize(int width, int height);

std::filesystem::path WrittenPicturePath(const TWriteBackParams& params);
std::filesystem::path WrittenThumbnailPath(const TWriteBackParams& params);

// Encodes and writes both files. `thumbnail` receives the new thumbnail picture (the tile shows it).
TWriteBackResult WriteBackEditedPicture(const TWriteBackParams& params, WriteBackProgress& progress,
                                        TDibGraphic& thumbnail);

// The German text for a result, Windows-1252; empty for success.
std::string WriteBackMessage(const TWriteBackResult& result, const TWriteBackParams& params);

} // namespace vistrel
