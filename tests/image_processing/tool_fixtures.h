#pragma once
// Fixtures made during the test by Debian's command-line encoders, and reference decodes by their
// decoders, so the readers are compared with the libraries' own tools rather than with themselves.
#include "image_processing/dib_graphic.h"
#include "image_processing/graphic_registry.h"
#include "image_processing/side_formats.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace vistrel::testing {

// Runs a shell command quietly; true when it succeeded.
inline bool RunTool(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

inline std::string Quoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

// A binary PPM of the picture, the input every encoder here accepts.
inline void WritePpm(TDibGraphic& picture, const std::filesystem::path& file) {
    TPpmGraphic ppm;
    ppm.CopyFromGraphic(&picture);
    ppm.WriteToFile(file);
}

using RgbaAt = std::function<uint32_t(int x, int y)>; // 0xAARRGGBB

// A PAM file with alpha (P7, RGB_ALPHA), which cwebp reads and ImageMagick turns into a PNG.
inline void WritePam(const std::filesystem::path& file, int width, int height, const RgbaAt& pixel) {
    std::ofstream out(file, std::ios::binary);
    out << "P7\nWIDTH " << width << "\nHEIGHT " << height
        << "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint32_t c = pixel(x, y);
            char bytes[4] = {char(c >> 16), char(c >> 8), char(c), char(c >> 24)};
            out.write(bytes, 4);
        }
}

// A reference decode written as PPM (by a tool), read back through the program's PPM reader.
inline void ReadPpm(const std::filesystem::path& file, TDibGraphic& picture) {
    LoadPictureFile(file, 1, nullptr, picture);
}

// The largest difference of one channel between two pictures of the same size.
inline int MaxChannelDifference(const TDibGraphic& a, const TDibGraphic& b) {
    EXPECT_EQ(a.Width(), b.Width());
    EXPECT_EQ(a.Height(), b.Height());
    if (a.Width() != b.Width() || a.Height() != b.Height()) return 256;
    int worst = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x) {
            TColor p = a.ReadPixel(x, y), q = b.ReadPixel(x, y);
            for (int shift = 0; shift < 24; shift += 8)
                worst = std::max(worst, std::abs(int((p >> shift) & 0xFF) - int((q >> shift) & 0xFF)));
        }
    return worst;
}

} // namespace vistrel::testing
