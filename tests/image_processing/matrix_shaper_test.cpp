// The vectorised conversions against the plain one and against the exact curve: the AVX2 path
// gives the plain path's bytes; the AVX-512 path, which computes the sRGB curve, stays within one
// step of the exact value and is off no more often than the table. Both for every width around
// their block sizes, in place and into another row, with colours driven out of gamut on both ends.
#include "image_processing/matrix_shaper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

using namespace vistrel;

namespace {

const float kAdobeToSrgb[3][3] = {{1.398f, -0.398f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, -0.043f, 1.043f}};

double SrgbCurve(double linear) {
    linear = std::clamp(linear, 0.0, 1.0);
    return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
}

// Gamma 2.2 and up, a channel each, so that a mixed-up channel shows.
std::unique_ptr<TMatrixShaper> AdobeLikeShaper(bool squareRootTable = false) {
    auto shaper = std::make_unique<TMatrixShaper>();
    for (int c = 0; c < 3; ++c)
        for (int v = 0; v < 256; ++v)
            shaper->toLinear[c][v] = std::pow(float(v) / 255.0f, 2.2f + 0.1f * float(c));
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            shaper->matrix[r][c] = kAdobeToSrgb[r][c];
    for (int step = 0; step <= TMatrixShaper::kSteps; ++step) {
        double linear = double(step) / TMatrixShaper::kSteps;
        double encoded = squareRootTable ? std::sqrt(linear) : SrgbCurve(linear);
        shaper->toSrgb[step] = uint8_t(std::lround(encoded * 255));
    }
    shaper->Prepare();
    return shaper;
}

std::vector<uint8_t> RandomRow(int width, uint32_t& state) {
    std::vector<uint8_t> row(size_t(width) * 3);
    for (uint8_t& byte : row) {
        state = state * 1103515245u + 12345u;
        byte = uint8_t(state >> 16);
    }
    row[0] = 255, row[1] = 0, row[2] = 0; // blue alone: red goes below 0 and green above 1
    return row;
}

using TConvert = void (TMatrixShaper::*)(const uint8_t*, uint8_t*, int) const;

// For every width up to `widest`: the bytes of `convert` in place and into another row, and the
// largest difference from the plain path.
int LargestDifferenceFromPlain(const TMatrixShaper& shaper, TConvert convert, int widest) {
    uint32_t state = 7;
    int largest = 0;
    for (int width = 1; width <= widest; ++width) {
        std::vector<uint8_t> in = RandomRow(width, state);
        std::vector<uint8_t> plain(in.size()), converted(in.size()), inPlace = in;
        shaper.ConvertPlain(in.data(), plain.data(), width);
        (shaper.*convert)(in.data(), converted.data(), width);
        (shaper.*convert)(inPlace.data(), inPlace.data(), width);
        EXPECT_EQ(inPlace, converted) << "width " << width << " in place";
        for (size_t i = 0; i < in.size(); ++i)
            largest = std::max(largest, std::abs(int(converted[i]) - int(plain[i])));
    }
    return largest;
}

} // namespace

TEST(MatrixShaper, ColumnsGiveThePlainPathsBytes) {
    if (!TMatrixShaper::HasColumns()) GTEST_SKIP() << "no AVX2";
    auto shaper = AdobeLikeShaper(true);
    EXPECT_EQ(LargestDifferenceFromPlain(*shaper, &TMatrixShaper::ConvertColumns, 41), 0);
}

TEST(MatrixShaper, WidePathStaysWithinAStepOfTheExactCurve) {
    if (!TMatrixShaper::HasWide()) GTEST_SKIP() << "no AVX-512 VBMI";
    auto shaper = AdobeLikeShaper();
    ASSERT_TRUE(shaper->wideUsable);
    EXPECT_LE(LargestDifferenceFromPlain(*shaper, &TMatrixShaper::ConvertWide, 200), 1);

    // Every channel at every value against each other channel at 33 levels, 279,000 pixels.
    std::vector<uint8_t> in;
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b <= 256; b += 8)
            for (int c = 0; c <= 256; c += 8)
                for (int rotation = 0; rotation < 3; ++rotation) {
                    int values[3] = {a, std::min(b, 255), std::min(c, 255)};
                    for (int k = 0; k < 3; ++k)
                        in.push_back(uint8_t(values[(k + rotation) % 3]));
                }
    int width = int(in.size() / 3);
    std::vector<uint8_t> wide(in.size()), plain(in.size());
    shaper->ConvertWide(in.data(), wide.data(), width);
    shaper->ConvertPlain(in.data(), plain.data(), width);
    size_t wideOff = 0, plainOff = 0;
    for (size_t pixel = 0; pixel < in.size(); pixel += 3) {
        double red = shaper->toLinear[0][in[pixel + 2]], green = shaper->toLinear[1][in[pixel + 1]];
        double blue = shaper->toLinear[2][in[pixel]];
        for (int row = 0; row < 3; ++row) {
            const float* m = kAdobeToSrgb[row];
            int exact = int(std::lround(SrgbCurve(m[0] * red + m[1] * green + m[2] * blue) * 255));
            size_t at = pixel + 2 - size_t(row);
            ASSERT_LE(std::abs(wide[at] - exact), 1) << "pixel " << pixel / 3 << " row " << row;
            wideOff += wide[at] != exact;
            plainOff += plain[at] != exact;
        }
    }
    EXPECT_LE(wideOff, plainOff);
}

TEST(MatrixShaper, CurvesOutsideZeroToOneKeepTheTablePath) {
    auto shaper = AdobeLikeShaper();
    shaper->toLinear[1][255] = 1.02f;
    shaper->Prepare();
    EXPECT_FALSE(shaper->wideUsable);
    std::vector<uint8_t> in = {10, 255, 20}, plain(3), converted(3);
    shaper->ConvertPlain(in.data(), plain.data(), 1);
    shaper->Convert(in.data(), converted.data(), 1);
    EXPECT_EQ(converted, plain);
}
