#include "image_processing/resample_passes.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <immintrin.h>
#include <vector>

namespace vistrel {

namespace {

// Eight floats that the compiler maps to one AVX register or to two SSE registers. Written with
// GCC's vector extension so that the three accumulators of a strip column stay in registers
// whatever the instruction set; each lane still sees exactly `sum += weight * value`.
typedef float Floats8 __attribute__((vector_size(32)));
typedef uint8_t Bytes8 __attribute__((vector_size(8)));

// Clamps to 0 .. 255 and rounds half to even. Adding and taking away 2^23 rounds a float below 2^23
// to a whole number in the processor's rounding mode (to nearest, ties to even) without a call to
// nearbyint, which showed up in profiles at one call per channel of every pixel.
// Written as two selects so that the loops below vectorise; the result is the same as branching.
inline uint8_t ClampToByte(float sum) {
    constexpr float kRounder = 8388608.0f;
    float clamped = sum > 255.0f ? 255.0f : sum;
    clamped = clamped < 0.0f ? 0.0f : clamped;
    return uint8_t(int((clamped + kRounder) - kRounder));
}

void ClampAllToBytesPlain(const float* sums, size_t count, uint8_t* out) {
    for (size_t k = 0; k < count; ++k)
        out[k] = ClampToByte(sums[k]);
}

// The same steps 32 values at a time (the compiler left the plain loop scalar): clamp, round by
// adding and taking away 2^23, truncate, pack. The packs interleave the 128-bit lanes, which the
// final permute puts back in order.
__attribute__((target("avx2"))) inline __m256i WholeBytesAvx2(const float* from) {
    const __m256 rounder = _mm256_set1_ps(8388608.0f);
    __m256 v =
        _mm256_max_ps(_mm256_min_ps(_mm256_loadu_ps(from), _mm256_set1_ps(255.0f)), _mm256_setzero_ps());
    return _mm256_cvttps_epi32(_mm256_sub_ps(_mm256_add_ps(v, rounder), rounder));
}

__attribute__((target("avx2"))) void ClampAllToBytesAvx2(const float* sums, size_t count, uint8_t* out) {
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    size_t k = 0;
    for (; k + 32 <= count; k += 32) {
        __m256i ab = _mm256_packus_epi32(WholeBytesAvx2(sums + k), WholeBytesAvx2(sums + k + 8));
        __m256i cd = _mm256_packus_epi32(WholeBytesAvx2(sums + k + 16), WholeBytesAvx2(sums + k + 24));
        __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(ab, cd), order);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), bytes);
    }
    ClampAllToBytesPlain(sums + k, count - k, out + k);
}

void ClampAllToBytes(const float* sums, size_t count, uint8_t* out) {
    if (__builtin_cpu_supports("avx2")) return ClampAllToBytesAvx2(sums, count, out);
    ClampAllToBytesPlain(sums, count, out);
}

// Column by column, all rows of the strip at once: each source column's 24 floats are written
// together, one pass over the strip instead of one per row, which halved the time of this loop.
// Gathering the 24 bytes through a small array and converting them 8 at a time was tried and was
// three times slower: the wide loads wait for the small stores before them.
void LoadFullColorColumns(const uint8_t* const* rows, int first, int end, float* strip) {
    for (int j = first; j < end; ++j) {
        float* out = strip + size_t(j) * kStripWidth;
        for (int r = 0; r < kStripRows; ++r) {
            const uint8_t* pixel = rows[r] + size_t(j) * 3;
            out[r * 3] = pixel[0];
            out[r * 3 + 1] = pixel[1];
            out[r * 3 + 2] = pixel[2];
        }
    }
}

// With AVX2 the column's pixels are read as one 32-bit word per row, packed into 24 bytes by two
// shuffles and widened to floats 8 at a time. A word takes one byte beyond the pixel, so the last
// column goes through the plain loop.
__attribute__((target("avx2"))) void LoadFullColorStripAvx2(const uint8_t* const* rows, int width,
                                                            float* strip) {
    const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4,
                                          5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const __m256i join = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7);
    for (int j = 0; j + 1 < width; ++j) {
        uint32_t word[kStripRows];
        for (int r = 0; r < kStripRows; ++r)
            std::memcpy(&word[r], rows[r] + size_t(j) * 3, 4);
        __m256i pixels = _mm256_setr_epi32(int(word[0]), int(word[1]), int(word[2]), int(word[3]),
                                           int(word[4]), int(word[5]), int(word[6]), int(word[7]));
        pixels = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(pixels, pack), join);
        __m128i low = _mm256_castsi256_si128(pixels), high = _mm256_extracti128_si256(pixels, 1);
        float* out = strip + size_t(j) * kStripWidth;
        _mm256_storeu_ps(out, _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(low)));
        _mm256_storeu_ps(out + 8, _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_srli_si128(low, 8))));
        _mm256_storeu_ps(out + 16, _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(high)));
    }
    LoadFullColorColumns(rows, std::max(0, width - 1), width, strip);
}

void LoadFullColorStrip(const uint8_t* const* rows, int width, float* strip) {
    if (__builtin_cpu_supports("avx2")) return LoadFullColorStripAvx2(rows, width, strip);
    LoadFullColorColumns(rows, 0, width, strip);
}

// One column of sums per destination position: 24 floats, the strip's 8 rows times 3 channels.
// Compiled for AVX2 as well where the processor has it; AVX2 without FMA, so that a multiply and an
// add stay two roundings, as in the plain build.
__attribute__((target_clones("avx2", "default"))) void
SumStripColumns(const float* strip, const TContributorTable& table, int dw, float* sums) {
    const uint32_t* start = table.start.data();
    const int32_t* index = table.index.data();
    const float* weight = table.weight.data();
    for (int i = 0; i < dw; ++i) {
        Floats8 a0 = {}, a1 = {}, a2 = {};
        for (uint32_t e = start[i]; e < start[i + 1]; ++e) {
            const float w = weight[e];
            const float* column = strip + size_t(index[e]) * kStripWidth;
            Floats8 c0, c1, c2;
            std::memcpy(&c0, column, sizeof c0);
            std::memcpy(&c1, column + 8, sizeof c1);
            std::memcpy(&c2, column + 16, sizeof c2);
            a0 += w * c0;
            a1 += w * c1;
            a2 += w * c2;
        }
        float* out = sums + size_t(i) * kStripWidth;
        std::memcpy(out, &a0, sizeof a0);
        std::memcpy(out + 8, &a1, sizeof a1);
        std::memcpy(out + 16, &a2, sizeof a2);
    }
}

__attribute__((target_clones("avx2", "default"))) void SumRows(const uint8_t* work, size_t workRows,
                                                               const TContributorTable& table, int i,
                                                               size_t width, float* sum) {
    std::fill(sum, sum + width, 0.0f);
    for (uint32_t e = table.start[i]; e < table.start[i + 1]; ++e) {
        const float w = table.weight[e];
        const uint8_t* row = work + size_t(table.index[e]) % workRows * width;
        for (size_t k = 0; k < width; ++k)
            sum[k] += w * float(row[k]);
    }
}

} // namespace

void LoadStripFromRows(const uint8_t* const* rows, int count, int width, int channels, float* strip) {
    if (count < kStripRows) std::fill(strip, strip + size_t(width) * kStripWidth, 0.0f);
    if (count == kStripRows && channels == 3) return LoadFullColorStrip(rows, width, strip);
    for (int r = 0; r < count; ++r) {
        const uint8_t* row = rows[r];
        float* out = strip + r * 3;
        for (int j = 0; j < width; ++j) {
            const uint8_t* pixel = channels == 3 ? row + size_t(j) * 3 : row + j;
            float* column = out + size_t(j) * kStripWidth;
            column[0] = pixel[0];
            column[1] = pixel[channels == 3 ? 1 : 0];
            column[2] = pixel[channels == 3 ? 2 : 0];
        }
    }
}

void LoadStripFromPicture(const TDibGraphic& source, int y0, float* strip) {
    int sw = source.Width();
    int count = std::min(kStripRows, source.Height() - y0);
    if (source.ImageFormat() == ifRgb24) {
        const uint8_t* rows[kStripRows];
        for (int r = 0; r < count; ++r)
            rows[r] = source.ScanLine(y0 + r);
        LoadStripFromRows(rows, count, sw, 3, strip);
        return;
    }
    if (count < kStripRows) std::fill(strip, strip + size_t(sw) * kStripWidth, 0.0f);
    for (int r = 0; r < count; ++r) {
        float* out = strip + r * 3;
        for (int j = 0; j < sw; ++j) {
            TColor color = source.ReadPixel(j, y0 + r);
            for (int c = 0; c < 3; ++c)
                out[size_t(j) * kStripWidth + c] = float((color >> (8 * c)) & 0xFF);
        }
    }
}

void ReduceStrip(const float* strip, const TContributorTable& columns, int count, int dw, uint8_t* out,
                 size_t outStride) {
    thread_local std::vector<float> sums;
    thread_local std::vector<uint8_t> bytes;
    size_t values = size_t(dw) * kStripWidth;
    sums.resize(values);
    bytes.resize(values);
    SumStripColumns(strip, columns, dw, sums.data());
    // Clamped in one contiguous run, which vectorises, and only then spread over the rows: clamping
    // value by value along the rows' stride was the costliest part of the horizontal pass.
    ClampAllToBytes(sums.data(), values, bytes.data());
    for (int r = 0; r < count; ++r) {
        uint8_t* row = out + size_t(r) * outStride;
        const uint8_t* from = bytes.data() + r * 3;
        for (int i = 0; i < dw; ++i) {
            row[i * 3] = from[size_t(i) * kStripWidth];
            row[i * 3 + 1] = from[size_t(i) * kStripWidth + 1];
            row[i * 3 + 2] = from[size_t(i) * kStripWidth + 2];
        }
    }
}

void ReduceColumnsIntoRow(const uint8_t* work, const TContributorTable& rows, int i, int dw,
                          TDibGraphic& destination) {
    ReduceColumnsIntoRow(work, SIZE_MAX, rows, i, dw, destination, i);
}

void ReduceColumnsIntoRow(const uint8_t* work, size_t workRows, const TContributorTable& rows, int i, int dw,
                          TDibGraphic& destination, int destinationRow) {
    size_t width = size_t(dw) * 3;
    thread_local std::vector<float> sum;
    sum.resize(width);
    SumRows(work, workRows, rows, i, width, sum.data());
    if (destination.ImageFormat() == ifRgb24)
        return ClampAllToBytes(sum.data(), width, destination.ScanLine(destinationRow));
    for (int x = 0; x < dw; ++x) {
        TColor color = TColor(ClampToByte(sum[x * 3])) | TColor(ClampToByte(sum[x * 3 + 1])) << 8 |
                       TColor(ClampToByte(sum[x * 3 + 2])) << 16;
        destination.WritePixel(x, destinationRow, color);
    }
}

// The clones are chosen by the same test when the program is loaded.
const char* ResampleInstructionSet() {
    return __builtin_cpu_supports("avx2") ? "avx2" : "sse2";
}

} // namespace vistrel
