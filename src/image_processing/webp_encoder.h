#pragma once
// Lossy WebP through libwebp, for the site's renditions. The file holds the picture and nothing else:
// no EXIF, XMP or ICC chunk is ever written, so nothing about the camera, the place or the owner
// leaves with a published picture. The same pixels and options always give the same bytes.
#include "image_processing/dib_graphic.h"

namespace vistrel {

struct TWebpOptions {
    // libwebp's quality scale 0..100; 80 keeps photographs free of visible blocking at half the
    // bytes of a JPEG of the same look.
    float quality = 80.0f;
    // libwebp's effort 0..6; 4 is its default balance of speed and size.
    int method = 4;
};

// Encodes a gray (ifGray256) or true-colour (ifRgb24) picture. Other formats and empty pictures
// raise EImageError, as does a failure inside libwebp (its error code in the text).
ByteBuffer EncodeWebp(const TDibGraphic& picture, const TWebpOptions& options = {});

} // namespace vistrel
