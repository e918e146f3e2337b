// fuzz-libs: vistrel_image_processing
// Feeds arbitrary bytes to the colour conversion as an embedded ICC profile: a profile that Little
// CMS cannot use must leave the picture as it is, never crash.
#include "image_processing/color_management.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Without a default CMYK profile a bad one falls back to the ink formula at once, instead of
    // building a transform from ghostscript's large profile on every run.
    setenv("VISTREL_CMYK_PROFILE", "/nonexistent", 0);
    vistrel::TDibGraphic picture;
    picture.NewImage(7, 3, vistrel::ifRgb24);
    vistrel::TEmbeddedColor color;
    color.icc.assign(data, data + size);
    try {
        vistrel::ConvertToSrgb(picture, color);
        auto cmyk = vistrel::TColorConverter::ForCmyk(vistrel::ByteView(data, size), size % 2 == 1);
        uint8_t ink[4 * 5] = {0, 50, 100, 150, 200, 255, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
        uint8_t out[3 * 5];
        cmyk->Convert(ink, out, 5);
    } catch (const vistrel::EImageError&) {
    }
    return 0;
}
