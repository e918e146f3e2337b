#include "image_processing/matrix_shaper.h"

#include <algorithm>
#include <cmath>
#include <immintrin.h>

namespace vistrel {

namespace {

uint8_t Encode(const TMatrixShaper& shaper, float linear) {
    linear = std::clamp(linear, 0.0f, 1.0f);
    return shaper.toSrgb[int(linear * TMatrixShaper::kSteps + 0.5f)];
}

// One pixel's red, green and blue steps into the sRGB table, in one vector: eight pixels at a time
// through gathers took half as long again.
__attribute__((target("avx2"))) inline __m128i Steps(const TMatrixShaper& shaper, const uint8_t* in) {
    __m128 sum = _mm_add_ps(_mm_load_ps(shaper.columns[0][in[2]]), _mm_load_ps(shaper.columns[1][in[1]]));
    sum = _mm_add_ps(sum, _mm_load_ps(shaper.columns[2][in[0]]));
    sum = _mm_max_ps(_mm_min_ps(sum, _mm_set1_ps(float(TMatrixShaper::kSteps))), _mm_setzero_ps());
    return _mm_cvttps_epi32(_mm_add_ps(sum, _mm_set1_ps(0.5f)));
}

__attribute__((target("avx2"))) void ConvertByColumns(const TMatrixShaper& shaper, const uint8_t* in,
                                                      uint8_t* out, int width) {
    int x = 0;
    // Two pixels a turn, read before either is written (the row may be converted in place): the
    // chain of each pixel, table to table, is long, and two of them side by side took 14 % less.
    const uint8_t* table = shaper.toSrgb;
    for (; x + 2 <= width; x += 2, in += 6, out += 6) {
        __m128i first = Steps(shaper, in), second = Steps(shaper, in + 3);
        out[0] = table[_mm_extract_epi32(first, 2)], out[1] = table[_mm_extract_epi32(first, 1)];
        out[2] = table[_mm_cvtsi128_si32(first)], out[3] = table[_mm_extract_epi32(second, 2)];
        out[4] = table[_mm_extract_epi32(second, 1)], out[5] = table[_mm_cvtsi128_si32(second)];
    }
    for (; x < width; ++x, in += 3, out += 3) {
        __m128i step = Steps(shaper, in);
        uint8_t red = shaper.toSrgb[_mm_cvtsi128_si32(step)];
        uint8_t green = shaper.toSrgb[_mm_extract_epi32(step, 1)];
        uint8_t blue = shaper.toSrgb[_mm_extract_epi32(step, 2)];
        out[0] = blue, out[1] = green, out[2] = red;
    }
}

// Coefficients, lowest first, of the polynomial through m^(1/2.4) at the four Chebyshev points of
// 1 <= m <= 2: within 1.1e-4 of it (0.03 of an sRGB step), nearly the best a cubic can do; nearer the
// exact curve in 8 bits than the table of 2^14 steps. A quartic was 10 % slower.
void FitRoot(float (&coefficients)[4]) {
    constexpr int kPoints = 4;
    double chebyshev[kPoints] = {};
    for (int j = 0; j < kPoints; ++j) {
        double angle = M_PI * (j + 0.5) / kPoints, value = std::pow(1.5 + 0.5 * std::cos(angle), 1 / 2.4);
        for (int k = 0; k < kPoints; ++k)
            chebyshev[k] += 2.0 / kPoints * value * std::cos(k * angle);
    }
    chebyshev[0] /= 2;
    // T_k(t) as powers of t, summed; then t = 2m - 3 expanded into powers of m.
    double t[kPoints][kPoints] = {{1}, {0, 1}};
    for (int k = 2; k < kPoints; ++k)
        for (int i = 0; i < kPoints; ++i)
            t[k][i] = (i > 0 ? 2 * t[k - 1][i - 1] : 0) - t[k - 2][i];
    double inT[kPoints] = {}, inM[kPoints] = {};
    for (int k = 0; k < kPoints; ++k)
        for (int i = 0; i < kPoints; ++i)
            inT[i] += chebyshev[k] * t[k][i];
    for (int i = 0; i < kPoints; ++i) {
        double binomial = 1;
        for (int j = 0; j <= i; ++j) {
            inM[j] += inT[i] * binomial * std::pow(2.0, j) * std::pow(-3.0, i - j);
            binomial = binomial * (i - j) / (j + 1);
        }
    }
    for (int i = 0; i < kPoints; ++i)
        coefficients[i] = float(inM[i]);
}

} // namespace

void TMatrixShaper::Prepare() {
    for (int c = 0; c < 3; ++c)
        for (int v = 0; v < 256; ++v) {
            for (int r = 0; r < 3; ++r)
                columns[c][v][r] = matrix[r][c] * toLinear[c][v] * float(kSteps);
            columns[c][v][3] = 0;
        }
    wideUsable = true;
    for (int c = 0; c < 3; ++c)
        for (int v = 0; v < 256; ++v) {
            float linear = toLinear[c][v];
            if (!(linear >= 0.0f && linear <= 1.0f)) wideUsable = false;
            long sixteenBits = std::lround(std::clamp(linear, 0.0f, 1.0f) * 65535.0);
            linearLow[c][v] = uint8_t(sixteenBits & 0xff);
            linearHigh[c][v] = uint8_t(sixteenBits >> 8);
        }
    for (int r = 0; r < 3; ++r) {
        float positive = 0;
        for (int c = 0; c < 3; ++c) {
            wideMatrix[r][c] = matrix[r][c] / 65535.0f;
            positive += std::max(matrix[r][c], 0.0f);
        }
        if (!(positive < 32)) wideUsable = false;
    }
    FitRoot(rootPolynomial);
    // By the low four bits of the biased exponent, 2^-9 up to 2^6: below, the curve's straight part
    // applies; a sum of linear values reaches 2^6 only through a matrix that is refused above.
    for (int exponent = -9; exponent <= 6; ++exponent)
        rootOfPowerOfTwo[(exponent + 127) & 15] = float(255 * 1.055 * std::pow(2.0, exponent / 2.4));
}

void TMatrixShaper::ConvertPlain(const uint8_t* in, uint8_t* out, int width) const {
    for (int x = 0; x < width; ++x, in += 3, out += 3) {
        float r = toLinear[0][in[2]], g = toLinear[1][in[1]], b = toLinear[2][in[0]];
        float outR = matrix[0][0] * r + matrix[0][1] * g + matrix[0][2] * b;
        float outG = matrix[1][0] * r + matrix[1][1] * g + matrix[1][2] * b;
        float outB = matrix[2][0] * r + matrix[2][1] * g + matrix[2][2] * b;
        out[2] = Encode(*this, outR), out[1] = Encode(*this, outG), out[0] = Encode(*this, outB);
    }
}

void TMatrixShaper::ConvertColumns(const uint8_t* in, uint8_t* out, int width) const {
    ConvertByColumns(*this, in, out, width);
}

bool TMatrixShaper::HasColumns() {
    return __builtin_cpu_supports("avx2");
}

bool TMatrixShaper::HasWide() {
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi");
}

void TMatrixShaper::Convert(const uint8_t* in, uint8_t* out, int width) const {
    static const bool wide = HasWide(), columns = HasColumns();
    if (wide && wideUsable) return ConvertWide(in, out, width);
    if (columns) return ConvertColumns(in, out, width);
    ConvertPlain(in, out, width);
}

} // namespace vistrel
