// The vectorised conversion against the plain one: the same bytes for every width, in place and
// into another row, with colours driven out of gamut on both ends.
#include "image_processing/matrix_shaper.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

using namespace vistrel;

TEST(MatrixShaper, VectorAndPlainPathsGiveTheSameBytes) {
    auto shaper = std::make_unique<TMatrixShaper>();
    for (int c = 0; c < 3; ++c)
        for (int v = 0; v < 256; ++v)
            shaper->toLinear[c][v] = std::pow(float(v) / 255.0f, 2.2f + 0.1f * float(c));
    const float matrix[3][3] = {{1.398f, -0.398f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, -0.043f, 1.043f}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            shaper->matrix[r][c] = matrix[r][c];
    for (int step = 0; step <= TMatrixShaper::kSteps; ++step)
        shaper->toSrgb[step] = uint8_t(std::lround(std::sqrt(double(step) / TMatrixShaper::kSteps) * 255));
    shaper->PrepareColumns();
    uint32_t state = 7;
    for (int width = 1; width <= 41; ++width) {
        std::vector<uint8_t> in(size_t(width) * 3);
        for (uint8_t& byte : in) {
            state = state * 1103515245u + 12345u;
            byte = uint8_t(state >> 16);
        }
        in[0] = 255, in[1] = 0, in[2] = 0; // blue alone: red goes below 0 and green above 1
        std::vector<uint8_t> plain(in.size()), vector(in.size()), inPlace = in;
        shaper->ConvertPlain(in.data(), plain.data(), width);
        shaper->Convert(in.data(), vector.data(), width);
        shaper->Convert(inPlace.data(), inPlace.data(), width);
        EXPECT_EQ(vector, plain) << "width " << width;
        EXPECT_EQ(inPlace, plain) << "width " << width << " in place";
    }
}
