#pragma once
#include "image_processing/dib_graphic.h"
#include "image_processing/jpeg_graphic.h"

#include <filesystem>

namespace vistrel {

// HEIF/HEIC and AVIF through libheif: the primary image with its rotation, mirroring and crop
// applied (so an EXIF orientation must not be applied again), grid images joined, 10 and 12 bits
// rounded to 8, alpha composed on black. The result is ifRgb24.
class THeifGraphic : public TDibGraphic {
public:
    std::string ClassName() const override { return "THeifGraphic"; }
    // An "ftyp" box whose brands libheif knows.
    bool IsValidStream(ByteView data) const override;
    void ReadImage(ByteView data, int index) override;
};

// The same picture handed to `sink` in blocks of rows, blue, green, red, in sRGB, as a JPEG decoder
// hands out its rows; the header has no resolution (0), as a decoded picture takes the screen's.
void DecodeHeifFile(const std::filesystem::path& file, TJpegRowSink& sink);

} // namespace vistrel
