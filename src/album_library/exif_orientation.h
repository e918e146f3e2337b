#pragma once
// Cameras and phones store a picture as the sensor saw it and note in EXIF how to turn it upright.
// Import turns such pictures upright, because browsers of the generated site and our own thumbnails
// would otherwise show them lying on their side.
#include <filesystem>

namespace vistrel {

class TDibGraphic;

// The EXIF orientation 1..8 of a picture file; 1 (upright) when the file has none, an invalid one,
// or libexif is not available.
int ReadExifOrientation(const std::filesystem::path& file);

// True for the orientations 5..8, whose upright picture has width and height exchanged.
bool OrientationSwapsSides(int orientation);

// Turns and mirrors `picture` in place so that it stands upright.
void OrientUpright(TDibGraphic& picture, int orientation);

} // namespace vistrel
