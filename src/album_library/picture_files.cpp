#include "album_library/picture_files.h"
#include "album_library/album_library_texts.h"

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

namespace {

bool ContainsName(const std::vector<std::string>& names, const std::string& name) {
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& other) { return AnsiSameText(other, name); });
}

void RebuildMissingThumbnails(const TAlbumLayout& album) {
    std::vector<std::string> thumbNames = ListFolder(album.Thumbs(), EntryKind::Files);
    for (const std::string& name : ListFolder(album.Images(), EntryKind::Files)) {
        if (!EndsWithNoCase(name, ".jpg") || ContainsName(thumbNames, name)) continue;
        std::error_code ec;
        if (std::filesystem::is_symlink(album.PathOf(TPictureFile::Picture, name), ec)) continue;
        try {
            TDibGraphic picture;
            LoadPictureFile(album.PathOf(TPictureFile::Picture, name), 1, {}, picture);
            std::filesystem::create_directories(album.Thumbs(), ec);
            WriteThumbnail(picture, album.PathOf(TPictureFile::Thumbnail, name), 75);
        } catch (const std::exception&) {
            // A picture that cannot be read stays without thumbnail; the user still has the file.
        }
    }
}

// A large version outlives its picture only when something was killed between two deletes; the
// site would never show it, but it would still be copied and uploaded.
void RemoveOrphanedLargeVersions(const TAlbumLayout& album) {
    std::error_code ec;
    // An "images" folder that cannot be listed says nothing about which pictures are gone.
    if (!std::filesystem::is_directory(album.Images(), ec) ||
        !std::filesystem::is_directory(album.Large(), ec))
        return;
    std::vector<std::string> pictures = ListFolder(album.Images(), EntryKind::Files);
    if (pictures.empty() && !std::filesystem::is_empty(album.Images(), ec)) return;
    for (const std::string& name : ListFolder(album.Large(), EntryKind::Files))
        if (!ContainsName(pictures, name)) album.RemovePictureFile(TPictureFile::Large, name);
}

void RotateFile(const std::filesystem::path& file, double degrees, TDibGraphic& rotated) {
    TDibGraphic source;
    LoadPictureFile(file, 1, {}, source);
    TRotateTransform rotate;
    rotate.Degrees = degrees;
    rotate.ApplyOnDest(source, rotated);
}

} // namespace

void TidyAlbumFolder(const std::filesystem::path& albumFolder) {
    const TAlbumLayout album(albumFolder);
    RemoveStaleTemporaries(albumFolder);
    for (TPictureFile kind : TAlbumLayout::kPictureFiles)
        RemoveStaleTemporaries(album.FolderOf(kind));
    RebuildMissingThumbnails(album);
    RemoveOrphanedLargeVersions(album);
}

void RotatePictureFile(const TAlbumLayout& album, const std::string& fileName, double degrees) {
    constexpr int kQuality = 75;
    TDibGraphic work;
    RotateFile(album.PathOf(TPictureFile::Picture, fileName), degrees, work);
    TDibGraphic large;
    std::error_code ec;
    std::filesystem::path largeFile = album.PathOf(TPictureFile::Large, fileName);
    if (std::filesystem::exists(largeFile, ec)) {
        try {
            RotateFile(largeFile, degrees, large);
        } catch (const std::exception&) {
            // The site falls back to the stored picture; an unturned large version would contradict it.
            album.RemovePictureFile(TPictureFile::Large, fileName);
        }
    }
    WriteJpegFile(work, album.PathOf(TPictureFile::Picture, fileName), kQuality);
    WriteThumbnail(work, album.PathOf(TPictureFile::Thumbnail, fileName), kQuality);
    if (large.IsEmpty()) return;
    try {
        WriteJpegFile(large, largeFile, kLargeVersionQuality);
    } catch (const std::exception&) {
        // The picture is turned; a large version left the old way round would contradict it.
        album.RemovePictureFile(TPictureFile::Large, fileName);
    }
}

TWriteBackParams EditWriteBackParams(const TAlbumLayout& album, const std::string& fileName,
                                     const TDibGraphic& picture, const TEditChanges& changes) {
    TWriteBackParams params;
    params.picture = &picture;
    params.picturePath = album.PathOf(TPictureFile::Picture, fileName);
    params.thumbsFolder = album.Thumbs();
    params.largePath = album.PathOf(TPictureFile::Large, WrittenPicturePath(params).filename().string());
    params.changes = &changes;
    params.largeQuality = kLargeVersionQuality;
    return params;
}

std::string RotateFailureMessage(const std::string& fileName, const std::string& detail) {
    return FormatMessage(Text(album_library_texts::kRotateFailed), {fileName}) + "\r\n" + Utf8ToAnsi(detail);
}

} // namespace vistrel
