#pragma once
// A JPEG copied into the album unchanged is published as it is, so it must not carry what the
// camera wrote about the picture: EXIF (GPS position, serial numbers, dates), XMP, IPTC, comments,
// the camera's preview images and whatever lies behind the picture's end. The copy is made at the
// level of the file's segments: the compressed picture data stays byte for byte, nothing is decoded
// again and nothing is lost.
//
// Kept: the JFIF header, the ICC profile (the pixel values mean the colours they mean only under
// their profile: an Adobe RGB or Display P3 picture without it looks faded in every browser) and
// Adobe's segment (it says how a CMYK or RGB JPEG's channels are to be read). Of the EXIF data only
// the orientation survives, written as a new block in place of the old one: viewers, the picture
// information and the site's renditions turn the picture upright by it.
#include <filesystem>
#include <string>
#include <string_view>

namespace vistrel {

// The JPEG `jpeg` without its metadata; an `orientation` of 2..8 is written as the only EXIF entry
// where the file's EXIF block stood (right after the start when it had none). Throws EImageError
// when the bytes do not have the structure of a JPEG file.
std::string JpegWithoutMetadata(std::string_view jpeg, int orientation);

// Writes `from` without its metadata to `to`, through a temporary file that replaces `to` only when
// complete. Throws EImageError when `from` cannot be read or is no JPEG, EFileWriteError when `to`
// cannot be written.
void CopyJpegWithoutMetadata(const std::filesystem::path& from, const std::filesystem::path& to,
                             int orientation);

} // namespace vistrel
