#pragma once
// Writing an album's picture and thumbnail files, shared by import, rotation and the editor.
#include <filesystem>

namespace vistrel {

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
// (".name.tmpXXXXXX", and "name.tmpXXXXXX" of older versions) in the folder, "images" and
// "thumbs" are removed, and a picture in "images" without its thumbnail gets a new one (quality 75),
// so that it shows in the album again. Pictures that cannot be read are left as they are.
void TidyAlbumFolder(const std::filesystem::path& albumFolder);

// Turns an album's picture by `degrees` (90 or -90), writes it back with quality 75 and rebuilds its
// thumbnail with quality 75. Throws the image errors of reading or writing.
void RotatePictureFile(const std::filesystem::path& imagesFolder, const std::filesystem::path& thumbsFolder,
                       const std::string& fileName, double degrees);

// The German message when a turn failed (Windows-1252); `detail` is the English error text.
std::string RotateFailureMessage(const std::string& fileName, const std::string& detail);

} // namespace vistrel
