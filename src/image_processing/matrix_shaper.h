#pragma once
// A matrix profile to sRGB without Little CMS's per-pixel machinery, which costs about as much as
// decoding the JPEG: each channel through its curve to linear light (a table of 256), the 3 x 3
// matrix from the profile's colorants to sRGB's, and back through the sRGB curve (a table of 2^14
// linear steps, fine enough that the darkest sRGB steps stay apart). The same arithmetic Little
// CMS does for a relative colorimetric transform between matrix profiles.
#include <cstdint>

namespace vistrel {

struct TMatrixShaper {
    static constexpr int kSteps = 1 << 14;
    float toLinear[3][256];
    float matrix[3][3];
    uint8_t toSrgb[kSteps + 1] = {};
    // For each channel and byte the matrix's column times the channel's linear value, in steps of
    // the sRGB table (times kSteps): a pixel's three outputs are then three loads and two
    // additions, the same products summed in the same order as the matrix row by row, and since
    // kSteps is a power of two the scaled sums are exactly the unscaled ones times kSteps. Made by
    // PrepareColumns once the fields above are set.
    alignas(16) float columns[3][256][4];

    void PrepareColumns();

    // `width` blue, green, red pixels; `in` may equal `out`. With AVX2 a pixel's three channels at
    // once, with the same single-precision steps in the same order, so both paths give the same
    // bytes.
    void Convert(const uint8_t* in, uint8_t* out, int width) const;
    void ConvertPlain(const uint8_t* in, uint8_t* out, int width) const;
};

} // namespace vistrel
