#include "image_processing/edit_write_back.h"

#include "common/atomic_file.h"
#include "common/cp1252.h"
#include "common/numbers.h"
#include "common/text_utils.h"
#include "image_processing/edit_session.h"
#include "image_processing/graphic_registry.h"
#include "image_processing/image_processing_texts.h"
#include "image_processing/resize_transform.h"

#include <algorithm>
#include <optional>

namespace vistrel {
namespace {

std::string_view AsText(const ByteBuffer& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The engine refuses a destination one pixel high, and a panorama 100 times wider than high would
// ask for exactly that; two pixels keep the thumbnail writable.
int ThumbSide(double length) {
    return static_cast<int>(std::max<int64_t>(2, Round(length)));
}

// The large version with the edit's changes made on it, encoded; nothing when there is none or
// it cannot be read, changed or encoded (the caller then removes it).
std::optional<ByteBuffer> EncodeChangedLarge(const TWriteBackParams& params) {
    std::error_code ec;
    if (params.largePath.empty() || !params.changes || !std::filesystem::exists(params.largePath, ec))
        return std::nullopt;
    try {
        TDibGraphic large;
        LoadPictureFile(params.largePath, 1, {}, large);
        ReplayEditChanges(*params.changes, large);
        return EncodeJpeg(large, params.largeQuality);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void WriteLarge(const TWriteBackParams& params, const std::optional<ByteBuffer>& bytes) {
    std::error_code ec;
    if (params.largePath.empty() || !std::filesystem::exists(params.largePath, ec)) return;
    try {
        if (bytes) return WriteFileAtomic(params.largePath, AsText(*bytes));
    } catch (const std::exception&) {
        // Falls through: a large version that shows the picture as it was must go.
    }
    std::filesystem::remove(params.largePath, ec);
}

} // namespace

TThumbnailSize EditThumbnailSize(int width, int height) {
    if (width <= 0 || height <= 0) return {};
    double aspect = double(width) / double(height);
    if (height < width) return {kEditThumbnailSide, ThumbSide(kEditThumbnailSide / aspect)};
    return {ThumbSide(aspect * kEditThumbnailSide), kEditThumbnailSide};
}

std::filesystem::path WrittenPicturePath(const TWriteBackParams& params) {
    std::filesystem::path path = params.picturePath;
    return path.replace_extension(".jpg");
}

std::filesystem::path WrittenThumbnailPath(const TWriteBackParams& params) {
    return params.thumbsFolder / WrittenPicturePath(params).filename();
}

TWriteBackResult WriteBackEditedPicture(const TWriteBackParams& params, WriteBackProgress& progress,
                                        TDibGraphic& thumbnail) {
    if (!params.picture || params.picture->IsEmpty())
        return TWriteBackResult::Failure(TWriteBackCode::NoPicture);
    const TDibGraphic& picture = *params.picture;
    auto percent = [&progress](uint8_t value) {
        progress.StepProgress(value);
        progress.ProcessEvents();
    };
    ByteBuffer pictureBytes, thumbBytes;
    std::optional<ByteBuffer> largeBytes;
    try {
        progress.ShowStep(kStepSavePicture);
        progress.ProcessEvents();
        pictureBytes = EncodeJpeg(picture, kEditJpegQuality, percent);
        TThumbnailSize size = EditThumbnailSize(picture.Width(), picture.Height());
        TResizeTransform resize;
        resize.TargetWidth = size.width;
        resize.TargetHeight = size.height;
        resize.Resample = true;
        resize.ResampleFilter = sfLanczos3;
        resize.OnProgress = percent;
        resize.ApplyOnDest(picture, thumbnail);
        thumbBytes = EncodeJpeg(thumbnail, kEditJpegQuality, percent);
        largeBytes = EncodeChangedLarge(params);
    } catch (const std::exception& error) {
        thumbnail.FreeImage();
        return TWriteBackResult::Failure(TWriteBackCode::EncodingFailed, error.what());
    }
    try {
        WriteFileAtomic(WrittenPicturePath(params), AsText(pictureBytes));
    } catch (const std::exception& error) {
        return TWriteBackResult::Failure(TWriteBackCode::PictureWriteFailed, error.what());
    }
    try {
        std::filesystem::create_directories(params.thumbsFolder);
        WriteFileAtomic(WrittenThumbnailPath(params), AsText(thumbBytes));
    } catch (const std::exception& error) {
        WriteLarge(params, largeBytes);
        return TWriteBackResult::Failure(TWriteBackCode::ThumbWriteFailed, error.what());
    }
    WriteLarge(params, largeBytes);
    progress.StepProgress(100);
    return TWriteBackResult::Success();
}

std::string WriteBackMessage(const TWriteBackResult& result, const TWriteBackParams& params) {
    std::string picture = Utf8ToAnsi(WrittenPicturePath(params).string());
    std::string thumb = Utf8ToAnsi(WrittenThumbnailPath(params).string());
    switch (result.code) {
    case TWriteBackCode::Ok:
        return {};
    case TWriteBackCode::NoPicture:
        return Text(image_processing_texts::kNoPictureToSave);
    case TWriteBackCode::EncodingFailed:
        return FormatMessage(Text(image_processing_texts::kEncodingFailed), {picture});
    case TWriteBackCode::PictureWriteFailed:
        return FormatMessage(Text(image_processing_texts::kPictureWriteFailed), {picture});
    case TWriteBackCode::ThumbWriteFailed:
        return FormatMessage(Text(image_processing_texts::kThumbWriteFailed), {thumb});
    }
    return {};
}

} // namespace vistrel
