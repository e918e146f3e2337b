#include "album_library/picture_files.h"

#include "common/cp1252.h"
#include "common/numbers.h"
#include "image_processing/graphic_registry.h"
#include "image_processing/jpeg_graphic.h"
#include "image_processing/resize_transform.h"
#include "image_processing/rotate_transform.h"

#include <algorithm>

namespace vistrel {

TThumbSize ThumbnailSize(int width, int height) {
    if (width <= 0 || height <= 0) return {};
    if (height < width)
        return {120, std::max(2, static_cast<int>(Round(120.0 * height / width)))};
    return {std::max(2, static_cast<int>(Round(120.0 * width / height))), 120};
}

void WriteJpegFile(TDibGraphic& picture, const std::filesystem::path& file, int quality) {
    TJpegGraphic jpeg;
    jpeg.TakeImageFrom(picture);
    jpeg.Quality = static_cast<uint8_t>(std::clamp(quality, 1, 100));
    try {
        jpeg.WriteToFile(file);
    } catch (...) {
        picture.TakeImageFrom(jpeg);
        throw;
    }
    picture.TakeImageFrom(jpeg);
}

void WriteThumbnail(TDibGraphic& picture, const std::filesystem::path& file, int quality) {
    TThumbSize size = ThumbnailSize(picture.Width(), picture.Height());
    TResizeTransform resize;
    resize.TargetWidth = size.width;
    resize.TargetHeight = size.height;
    resize.Resample = true;
    resize.ResampleFilter = sfLanczos3;
    resize.Apply(picture);
    WriteJpegFile(picture, file, quality);
}

void RotatePictureFile(const std::filesystem::path& imagesFolder, const std::filesystem::path& thumbsFolder,
                       const std::string& fileName, double degrees) {
    constexpr int kQuality = 75;
    TDibGraphic source;
    LoadPictureFile(imagesFolder / fileName, 1, {}, source);
    TDibGraphic work;
    TRotateTransform rotate;
    rotate.Degrees = degrees;
    rotate.ApplyOnDest(source, work);
    source.FreeImage();
    WriteJpegFile(work, imagesFolder / fileName, kQuality);
    WriteThumbnail(work, thumbsFolder / fileName, kQuality);
}

std::string RotateFailureMessage(const std::string& fileName, const std::string& detail) {
    return "Das Bild \"" + fileName + "\" konnte nicht gedreht werden (besch\xE4" "digt oder schreibgesch\xFCtzt).\r\n" +
           Utf8ToAnsi(detail);
}

} // namespace vistrel
