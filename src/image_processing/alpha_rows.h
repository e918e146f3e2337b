#pragma once
#include <cstdint>

namespace vistrel {

// Pictures with an alpha channel are stored without one: like a PNG without a background colour,
// a transparent part becomes black. Blue, green, red, alpha in; blue, green, red out.
void ComposeBgraOverBlack(const uint8_t* bgra, uint8_t* bgr, int width);
// Red, green, blue, alpha in (as libheif hands them out); blue, green, red out.
void ComposeRgbaOverBlack(const uint8_t* rgba, uint8_t* bgr, int width);
// Red, green, blue in; blue, green, red out.
void SwapRgbToBgr(const uint8_t* rgb, uint8_t* bgr, int width);
// Red, green and blue planes in; blue, green, red out.
void InterleaveRgbPlanesToBgr(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* bgr,
                              int width);

// The same for 16-bit samples of `bits` significant bits (10 or 12), reduced to 8 bits by rounding:
// red, green, blue(, alpha) in, blue, green, red out.
void ReduceRgb16ToBgr(const uint16_t* rgb, uint8_t* bgr, int width, int bits, bool hasAlpha);

} // namespace vistrel
