#include "album_library/picture_files.h"

#include "common/cp1252.h"
#include "common/folder_listing.h"
#include "common/numbers.h"
#include "common/text_utils.h"
#include "image_processing/graphic_registry.h"
#include "image_processing/jpeg_graphic.h"
#include "image_processing/resize_transform.h"
#include "image_processing/rotate_transform.h"

#include <algorithm>
#include <cctype>

namespace vistrel {

TThumbSize ThumbnailSize(int width, int height) {
    if (width <= 0 || height <= 0) return {};
    if (height < width) return {120, std::max(2, static_cast<int>(Round(120.0 * height / width)))};
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

namespace {

// The temporary name of WriteFileAtomic: the file's name, ".tmp" and mkstemp's six characters.
bool IsStaleTemporary(const std::string& name) {
    constexpr size_t suffix = 10; // ".tmp" + 6
    if (name.size() <= suffix || name.compare(name.size() - suffix, 4, ".tmp") != 0) return false;
    return std::all_of(name.end() - 6, name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

void RemoveStaleTemporaries(const std::filesystem::path& folder) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        std::error_code typeError;
        if (entry.symlink_status(typeError).type() != std::filesystem::file_type::regular) continue;
        if (IsStaleTemporary(entry.path().filename().string()))
            std::filesystem::remove(entry.path(), typeError);
    }
}

} // namespace

void TidyAlbumFolder(const std::filesystem::path& albumFolder) {
    const std::filesystem::path images = albumFolder / "images", thumbs = albumFolder / "thumbs";
    for (const auto& folder : {albumFolder, images, thumbs})
        RemoveStaleTemporaries(folder);
    std::vector<std::string> thumbNames = ListFolder(thumbs, EntryKind::Files);
    for (const std::string& name : ListFolder(images, EntryKind::Files)) {
        bool hasThumb = std::any_of(thumbNames.begin(), thumbNames.end(),
                                    [&](const std::string& thumb) { return AnsiSameText(thumb, name); });
        if (!EndsWithNoCase(name, ".jpg") || hasThumb) continue;
        std::error_code ec;
        if (std::filesystem::is_symlink(images / name, ec)) continue;
        try {
            TDibGraphic picture;
            LoadPictureFile(images / name, 1, {}, picture);
            std::filesystem::create_directories(thumbs, ec);
            WriteThumbnail(picture, thumbs / name, 75);
        } catch (const std::exception&) {
            // A picture that cannot be read stays without thumbnail; the user still has the file.
        }
    }
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
    return "Das Bild \"" + fileName +
           "\" konnte nicht gedreht werden (besch\xE4"
           "digt oder schreibgesch\xFCtzt).\r\n" +
           Utf8ToAnsi(detail);
}

} // namespace vistrel
