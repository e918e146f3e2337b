#include "image_processing/alpha_rows.h"

#include <algorithm>

namespace vistrel {

namespace {

// value · alpha / 255, rounded to nearest: the same composition libpng makes over a black background.
inline uint8_t OverBlack(unsigned value, unsigned alpha) {
    return uint8_t((value * alpha + 127) / 255);
}

} // namespace

void ComposeBgraOverBlack(const uint8_t* bgra, uint8_t* bgr, int width) {
    for (int x = 0; x < width; ++x, bgra += 4, bgr += 3) {
        unsigned alpha = bgra[3];
        bgr[0] = OverBlack(bgra[0], alpha);
        bgr[1] = OverBlack(bgra[1], alpha);
        bgr[2] = OverBlack(bgra[2], alpha);
    }
}

void ComposeRgbaOverBlack(const uint8_t* rgba, uint8_t* bgr, int width) {
    for (int x = 0; x < width; ++x, rgba += 4, bgr += 3) {
        unsigned alpha = rgba[3];
        bgr[0] = OverBlack(rgba[2], alpha);
        bgr[1] = OverBlack(rgba[1], alpha);
        bgr[2] = OverBlack(rgba[0], alpha);
    }
}

void SwapRgbToBgr(const uint8_t* rgb, uint8_t* bgr, int width) {
    for (int x = 0; x < width; ++x, rgb += 3, bgr += 3) {
        bgr[0] = rgb[2];
        bgr[1] = rgb[1];
        bgr[2] = rgb[0];
    }
}

void ReduceRgb16ToBgr(const uint16_t* rgb, uint8_t* bgr, int width, int bits, bool hasAlpha) {
    // Rounding, not dropping the low bits: v · 255 / max to the nearest. max is odd, so there is
    // never an exact half to decide.
    const uint32_t max = (1u << bits) - 1;
    auto to8 = [max](uint32_t v) { return (std::min(v, max) * 255 + max / 2) / max; };
    const int step = hasAlpha ? 4 : 3;
    for (int x = 0; x < width; ++x, rgb += step, bgr += 3) {
        uint32_t r = to8(rgb[0]), g = to8(rgb[1]), b = to8(rgb[2]);
        if (hasAlpha) {
            uint32_t alpha = to8(rgb[3]);
            r = OverBlack(r, alpha), g = OverBlack(g, alpha), b = OverBlack(b, alpha);
        }
        bgr[0] = uint8_t(b), bgr[1] = uint8_t(g), bgr[2] = uint8_t(r);
    }
}

void InterleaveRgbPlanesToBgr(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* bgr,
                              int width) {
    for (int x = 0; x < width; ++x, bgr += 3) {
        bgr[0] = blue[x];
        bgr[1] = green[x];
        bgr[2] = red[x];
    }
}

} // namespace vistrel
