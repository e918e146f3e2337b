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
    // kSteps is a power of two the scaled sums are exactly the unscaled ones times kSteps.
    alignas(16) float columns[3][256][4];

    // For the AVX-512 path, which takes 64 pixels a turn and needs no table in memory per pixel:
    // each channel's linear light in 16 bits, as a table of low and one of high bytes (looked up
    // 64 bytes at once), the matrix scaled to those 16 bits, and the sRGB curve computed rather
    // than looked up. Usable only when every linear value lies in 0..1 and the positive entries of
    // each matrix row add up to less than 32 (the sums must stay within the exponent table).
    bool wideUsable = false;
    alignas(64) uint8_t linearLow[3][256];
    alignas(64) uint8_t linearHigh[3][256];
    float wideMatrix[3][3];
    // x^(1/2.4) of the sRGB curve as m^(1/2.4) * 2^(e/2.4) for x = m * 2^e: a polynomial in m of
    // 1 <= m < 2, and a table over e (by its low four bits), both times 255 * 1.055.
    float rootPolynomial[4];
    alignas(64) float rootOfPowerOfTwo[16];

    // Makes the tables above from toLinear, matrix and toSrgb.
    void Prepare();

    // `width` blue, green, red pixels; `in` may equal `out`. Takes the fastest path the processor
    // has: ConvertWide, else ConvertColumns, else ConvertPlain.
    void Convert(const uint8_t* in, uint8_t* out, int width) const;
    void ConvertPlain(const uint8_t* in, uint8_t* out, int width) const;
    // With AVX2 a pixel's three channels at once, with the same single-precision steps in the same
    // order as ConvertPlain, so both give the same bytes.
    void ConvertColumns(const uint8_t* in, uint8_t* out, int width) const;
    // With AVX-512 (VBMI), in less than half the time. Its sRGB curve is nearer the exact one than the
    // table's steps; the two differ by one in about one sample of a hundred.
    void ConvertWide(const uint8_t* in, uint8_t* out, int width) const;
    static bool HasColumns();
    static bool HasWide();
};

} // namespace vistrel
