// fuzz-libs: vistrel_image_processing
// Feeds arbitrary bytes to the THeifGraphic reader: it must read them or raise EImageError, nothing else.
#include "image_processing/heif_graphic.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A lower limit than the program's keeps each run fast; the size checks are the same code.
    vistrel::SetPixelStoreLimit(64u << 20);
    vistrel::THeifGraphic graphic;
    try {
        graphic.ReadFromStream(vistrel::ByteView(data, size));
        if (!graphic.IsEmpty()) graphic.ReadPixel(graphic.Width() - 1, graphic.Height() - 1);
    } catch (const vistrel::EImageError&) {
    }
    return 0;
}
