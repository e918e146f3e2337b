#pragma once
// Writing an album's picture files (TAlbumLayout), shared by import, rotation and the editor.
#include "album_library/album_layout.h"
#include "image_processing/edit_write_back.h"

#include <filesystem>
#include <string>

namespace vistrel {

// JPEG quality of the large version: high enough that a photographer sees no blocks on a
// high-resolution screen, at about a third of the bytes of quality 95.
inline constexpr int kLargeVersionQuality = 85;

class TDibGraphic;

struct TThumbSize {
    int width = 0;
    int height = 0;
};

// 120 on the long side, the short side in proportion (rounded half to even). The short side is at
// least 2 pixels: the resampler refuses a 1-pixel destination, which made very wide or very high
// pictures fail as a whole.
TThumbSize ThumbnailSize(int width, int height);

// Writes `picture` as JPEG with the given quality (1..100), atomically. The pixels are lent to the
// writer and given back, so nothing is copied.
void WriteJpegFile(TDibGraphic& picture, const std::filesystem::path& file, int quality);

// Resizes `picture` in place to its thumbnail size (Lanczos3) and writes it as JPEG.
void WriteThumbnail(TDibGraphic& picture, const std::filesystem::path& file, int quality);

// Mends what a killed import can leave in an album folder: temporary files of the atomic writes
// (".name.tmpXXXXXX", and "name.tmpXXXXXX" of older versions) in the folder and in its picture
// folders are removed, a picture in "images" without its thumbnail gets a new one (quality 75), so
// that it shows in the album again, and a large version whose picture is gone is removed. Pictures
// that cannot be read are left as they are.
void TidyAlbumFolder(const std::filesystem::path& albumFolder);

// Turns an album's picture by `degrees` (90 or -90), writes it back with quality 75 and rebuilds its
// thumbnail with quality 75; its large version is turned too (kLargeVersionQuality), or removed
// when it cannot be read, so that it never shows the picture the other way round. Throws the image
// errors of reading or writing the picture.
void RotatePictureFile(const TAlbumLayout& album, const std::string& fileName, double degrees);

// What the editor's write-back of album picture `fileName` needs: where the picture, its thumbnail
// and its large version lie, and the session's changes for the large version.
TWriteBackParams EditWriteBackParams(const TAlbumLayout& album, const std::string& fileName,
                                     const TDibGraphic& picture, const TEditChanges& changes);

// The German message when a turn failed (Windows-1252); `detail` is the English error text.
std::string RotateFailureMessage(const std::string& fileName, const std::string& detail);

} // namespace vistrel
