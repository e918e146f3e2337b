#pragma once
// Pictures and helpers shared by the picture tests.
#include "image_processing/dib_graphic.h"

#include <gtest/gtest.h>

namespace vistrel::testing {

// A true-colour picture whose pixels differ from each other: a gradient with some noise.
inline void FillPattern(TDibGraphic& g, int width, int height, TImageFormat format = ifRgb24) {
    g.NewImage(width, height, format);
    uint32_t state = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            state = state * 1103515245u + 12345u;
            TColor noise = (state >> 16) & 0x1F;
            TColor r = (x * 255 / std::max(1, width - 1) + noise) & 0xFF;
            TColor gr = (y * 255 / std::max(1, height - 1)) & 0xFF;
            TColor b = ((x + y) * 7 + noise) & 0xFF;
            g.WritePixel(x, y, r << 16 | gr << 8 | b);
        }
}

inline void FillColor(TDibGraphic& g, int width, int height, TColor color, TImageFormat format = ifRgb24) {
    g.NewImage(width, height, format);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            g.WritePixel(x, y, color);
}

// Every pixel equal, through ReadPixel, with the first difference named.
inline ::testing::AssertionResult SamePixels(const TDibGraphic& a, const TDibGraphic& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height())
        return ::testing::AssertionFailure() << "sizes differ: " << a.Width() << "x" << a.Height() << " vs "
                                             << b.Width() << "x" << b.Height();
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.ReadPixel(x, y) != b.ReadPixel(x, y))
                return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << "): " << std::hex
                                                     << a.ReadPixel(x, y) << " vs " << b.ReadPixel(x, y);
    return ::testing::AssertionSuccess();
}

inline ByteView View(const ByteBuffer& bytes) {
    return ByteView(bytes.data(), bytes.size());
}

} // namespace vistrel::testing
