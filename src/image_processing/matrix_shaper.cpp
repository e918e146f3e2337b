#include "image_processing/matrix_shaper.h"

#include <algorithm>
#include <immintrin.h>

namespace vistrel {

namespace {

uint8_t Encode(const TMatrixShaper& shaper, float linear) {
    linear = std::clamp(linear, 0.0f, 1.0f);
    return shaper.toSrgb[int(linear * TMatrixShaper::kSteps + 0.5f)];
}

// The pixels' channel `c` (0 blue, 1 green, 2 red) as eight 32-bit lanes: each 128-bit lane holds
// four pixels from its first byte on, so one mask serves both lanes.
__attribute__((target("avx2"))) inline __m256i Channel(__m256i pixels, int c) {
    const __m256i mask = _mm256_setr_epi8(char(c), -1, -1, -1, char(3 + c), -1, -1, -1, char(6 + c), -1, -1,
                                          -1, char(9 + c), -1, -1, -1, char(c), -1, -1, -1, char(3 + c), -1,
                                          -1, -1, char(6 + c), -1, -1, -1, char(9 + c), -1, -1, -1);
    return _mm256_shuffle_epi8(pixels, mask);
}

__attribute__((target("avx2"))) inline __m256i EncodeAvx2(const TMatrixShaper& shaper, __m256 linear) {
    linear = _mm256_max_ps(_mm256_min_ps(linear, _mm256_set1_ps(1.0f)), _mm256_setzero_ps());
    __m256 scaled = _mm256_add_ps(_mm256_mul_ps(linear, _mm256_set1_ps(float(TMatrixShaper::kSteps))),
                                  _mm256_set1_ps(0.5f));
    __m256i step = _mm256_cvttps_epi32(scaled);
    __m256i bytes = _mm256_i32gather_epi32(reinterpret_cast<const int*>(shaper.toSrgb), step, 1);
    return _mm256_and_si256(bytes, _mm256_set1_epi32(0xFF));
}

__attribute__((target("avx2"))) inline __m256 Row(const float* m, __m256 r, __m256 g, __m256 b) {
    __m256 sum =
        _mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(m[0]), r), _mm256_mul_ps(_mm256_set1_ps(m[1]), g));
    return _mm256_add_ps(sum, _mm256_mul_ps(_mm256_set1_ps(m[2]), b));
}

// Each group reads 28 bytes (pixels 0-4 and 4-8 as two 16-byte halves) and writes its 24 bytes as
// 8 + 4 per half, so a conversion in place never writes over pixels not yet read.
__attribute__((target("avx2"))) void ConvertAvx2(const TMatrixShaper& shaper, const uint8_t* in, uint8_t* out,
                                                 int width) {
    int x = 0;
    for (; x + 10 <= width; x += 8, in += 24, out += 24) {
        __m256i pixels = _mm256_setr_m128i(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)),
                                           _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 12)));
        __m256 b = _mm256_i32gather_ps(shaper.toLinear[2], Channel(pixels, 0), 4);
        __m256 g = _mm256_i32gather_ps(shaper.toLinear[1], Channel(pixels, 1), 4);
        __m256 r = _mm256_i32gather_ps(shaper.toLinear[0], Channel(pixels, 2), 4);
        __m256i outB = EncodeAvx2(shaper, Row(shaper.matrix[2], r, g, b));
        __m256i outG = EncodeAvx2(shaper, Row(shaper.matrix[1], r, g, b));
        __m256i outR = EncodeAvx2(shaper, Row(shaper.matrix[0], r, g, b));
        // Lane k of the three values as the 32-bit words B, G, R interleaved by bytes: b0 g0 r0 b1 ...
        __m256i words =
            _mm256_or_si256(_mm256_or_si256(outB, _mm256_slli_epi32(outG, 8)), _mm256_slli_epi32(outR, 16));
        // Per 128-bit lane the words are b g r 0; shuffled to b g r b g r ... (12 bytes).
        const __m256i compact = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1,
                                                 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
        __m256i packed = _mm256_shuffle_epi8(words, compact);
        __m128i low = _mm256_castsi256_si128(packed), high = _mm256_extracti128_si256(packed, 1);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), low);
        int tail = _mm_extract_epi32(low, 2);
        __builtin_memcpy(out + 8, &tail, 4);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 12), high);
        tail = _mm_extract_epi32(high, 2);
        __builtin_memcpy(out + 20, &tail, 4);
    }
    shaper.ConvertPlain(in, out, width - x);
}

} // namespace

void TMatrixShaper::ConvertPlain(const uint8_t* in, uint8_t* out, int width) const {
    for (int x = 0; x < width; ++x, in += 3, out += 3) {
        float r = toLinear[0][in[2]], g = toLinear[1][in[1]], b = toLinear[2][in[0]];
        float outR = matrix[0][0] * r + matrix[0][1] * g + matrix[0][2] * b;
        float outG = matrix[1][0] * r + matrix[1][1] * g + matrix[1][2] * b;
        float outB = matrix[2][0] * r + matrix[2][1] * g + matrix[2][2] * b;
        out[2] = Encode(*this, outR), out[1] = Encode(*this, outG), out[0] = Encode(*this, outB);
    }
}

void TMatrixShaper::Convert(const uint8_t* in, uint8_t* out, int width) const {
    if (__builtin_cpu_supports("avx2")) return ConvertAvx2(*this, in, out, width);
    ConvertPlain(in, out, width);
}

} // namespace vistrel
