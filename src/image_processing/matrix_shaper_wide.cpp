// The AVX-512 conversion: 64 pixels a turn, every step on whole vectors. Byte permutes split the
// 192 bytes into a plane per channel, look up the 16-bit linear values (two permutes of 128 bytes
// each for low and high bytes) and weave the planes back together. The sRGB curve is computed:
// getexp and getmant split a value into 2^e * m, a cubic gives m^(1/2.4), a permute of sixteen
// floats gives 2^(e/2.4). Gathers, one load per lane, took three times as long on AMD's Zen 4.
#include "image_processing/matrix_shaper.h"

#include <algorithm>
#include <array>
#include <immintrin.h>

// GCC 12 takes the "undefined" source vector inside the AVX-512 headers' unmasked intrinsics for
// an uninitialised variable.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

namespace vistrel {

namespace {

constexpr int kPixels = 64;
constexpr int kBytes = kPixels * 3;

// Splitting: plane byte i of channel c is input byte 3i + c; the first 128 bytes come through a
// two-register permute, the rest from the third register where `fromThird` is set.
struct TSplit {
    std::array<std::array<uint8_t, 64>, 3> firstTwo{}, third{};
    std::array<uint64_t, 3> fromThird{};
};

constexpr TSplit MakeSplit() {
    TSplit split;
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 64; ++i) {
            int source = 3 * i + c;
            split.firstTwo[size_t(c)][size_t(i)] = uint8_t(source & 127);
            split.third[size_t(c)][size_t(i)] = uint8_t(source & 63);
            if (source >= 128) split.fromThird[size_t(c)] |= uint64_t(1) << i;
        }
    return split;
}

// Weaving: output byte j is plane j % 3's byte j / 3; blue and green through a two-register
// permute, red where `fromRed` is set.
struct TWeave {
    std::array<std::array<uint8_t, 64>, 3> blueGreen{}, red{};
    std::array<uint64_t, 3> fromRed{};
};

constexpr TWeave MakeWeave() {
    TWeave weave;
    for (int part = 0; part < 3; ++part)
        for (int i = 0; i < 64; ++i) {
            int j = 64 * part + i, channel = j % 3, position = j / 3;
            weave.blueGreen[size_t(part)][size_t(i)] = uint8_t((channel == 1 ? 64 : 0) + (position & 63));
            weave.red[size_t(part)][size_t(i)] = uint8_t(position & 63);
            if (channel == 2) weave.fromRed[size_t(part)] |= uint64_t(1) << i;
        }
    return weave;
}

alignas(64) constexpr TSplit kSplit = MakeSplit();
alignas(64) constexpr TWeave kWeave = MakeWeave();

#define VISTREL_WIDE __attribute__((target("avx512f,avx512bw,avx512vbmi"), always_inline)) inline

VISTREL_WIDE __m512i Load(const std::array<uint8_t, 64>& bytes) {
    return _mm512_loadu_si512(bytes.data());
}

// 64 bytes through a table of 256: bit 6 picks the register of a pair, bit 7 the pair.
VISTREL_WIDE __m512i LookUp(const uint8_t* table, __m512i index, __mmask64 upperHalf) {
    const __m512i* rows = reinterpret_cast<const __m512i*>(table);
    return _mm512_mask_blend_epi8(upperHalf, _mm512_permutex2var_epi8(rows[0], index, rows[1]),
                                  _mm512_permutex2var_epi8(rows[2], index, rows[3]));
}

// A plane's 64 bytes as linear light in 16 bits: two vectors of 32 words. The unpacking keeps to
// 128-bit lanes; the packing at the end undoes exactly that order.
VISTREL_WIDE void ToLinear(const TMatrixShaper& shaper, int channel, __m512i plane, __m512i (&words)[2]) {
    __mmask64 upper = _mm512_movepi8_mask(plane);
    __m512i low = LookUp(shaper.linearLow[channel], plane, upper);
    __m512i high = LookUp(shaper.linearHigh[channel], plane, upper);
    words[0] = _mm512_unpacklo_epi8(low, high);
    words[1] = _mm512_unpackhi_epi8(low, high);
}

// Linear light to sRGB's 0..255, rounded. Nothing is clamped: below 0 the straight part gives a
// negative number and above 1 the curve gives more than 255, and the packing to bytes saturates.
VISTREL_WIDE __m512i ToSrgb(const TMatrixShaper& shaper, __m512 linear) {
    const float* c = shaper.rootPolynomial;
    __m512 m = _mm512_getmant_ps(linear, _MM_MANT_NORM_1_2, _MM_MANT_SIGN_zero);
    __m512 root = _mm512_fmadd_ps(_mm512_set1_ps(c[3]), m, _mm512_set1_ps(c[2]));
    root = _mm512_fmadd_ps(root, m, _mm512_set1_ps(c[1]));
    root = _mm512_fmadd_ps(root, m, _mm512_set1_ps(c[0]));
    // The permute reads only the low four bits of each lane: those of the biased exponent.
    __m512i exponentBits = _mm512_srli_epi32(_mm512_castps_si512(linear), 23);
    __m512 scale = _mm512_permutexvar_ps(exponentBits, _mm512_load_ps(shaper.rootOfPowerOfTwo));
    __m512 curve = _mm512_fmsub_ps(root, scale, _mm512_set1_ps(255 * 0.055f));
    __mmask16 dark = _mm512_cmp_ps_mask(linear, _mm512_set1_ps(0.0031308f), _CMP_LT_OQ);
    curve = _mm512_mask_mul_ps(curve, dark, linear, _mm512_set1_ps(255 * 12.92f));
    return _mm512_cvtps_epi32(curve);
}

VISTREL_WIDE void ConvertBlock(const TMatrixShaper& shaper, const uint8_t* in, uint8_t* out) {
    __m512i first = _mm512_loadu_si512(in), second = _mm512_loadu_si512(in + 64);
    __m512i third = _mm512_loadu_si512(in + 128);
    // Planes and tables by channel: 0 red, 1 green, 2 blue; in memory a pixel is blue, green, red.
    __m512i words[3][2];
#pragma GCC unroll 4
    for (int byte = 0; byte < 3; ++byte) {
        __m512i plane = _mm512_permutex2var_epi8(first, Load(kSplit.firstTwo[size_t(byte)]), second);
        plane = _mm512_mask_permutexvar_epi8(plane, kSplit.fromThird[size_t(byte)],
                                             Load(kSplit.third[size_t(byte)]), third);
        ToLinear(shaper, 2 - byte, plane, words[2 - byte]);
    }
    // Half a block at a time, so that everything stays in registers.
    __m512i packed[3][2];
#pragma GCC unroll 4
    for (int half = 0; half < 2; ++half) {
        __m512 linear[3][2];
#pragma GCC unroll 4
        for (int c = 0; c < 3; ++c) {
            linear[c][0] = _mm512_cvtepi32_ps(_mm512_unpacklo_epi16(words[c][half], _mm512_setzero_si512()));
            linear[c][1] = _mm512_cvtepi32_ps(_mm512_unpackhi_epi16(words[c][half], _mm512_setzero_si512()));
        }
#pragma GCC unroll 4
        for (int row = 0; row < 3; ++row) {
            const float* m = shaper.wideMatrix[row];
            __m512i encoded[2];
#pragma GCC unroll 4
            for (int part = 0; part < 2; ++part) {
                __m512 sum = _mm512_mul_ps(_mm512_set1_ps(m[0]), linear[0][part]);
                sum = _mm512_fmadd_ps(_mm512_set1_ps(m[1]), linear[1][part], sum);
                sum = _mm512_fmadd_ps(_mm512_set1_ps(m[2]), linear[2][part], sum);
                encoded[part] = ToSrgb(shaper, sum);
            }
            packed[row][half] = _mm512_packus_epi32(encoded[0], encoded[1]);
        }
    }
    __m512i planes[3];
#pragma GCC unroll 4
    for (int row = 0; row < 3; ++row)
        planes[2 - row] = _mm512_packus_epi16(packed[row][0], packed[row][1]);
#pragma GCC unroll 4
    for (int part = 0; part < 3; ++part) {
        __m512i bytes = _mm512_permutex2var_epi8(planes[0], Load(kWeave.blueGreen[size_t(part)]), planes[1]);
        bytes = _mm512_mask_permutexvar_epi8(bytes, kWeave.fromRed[size_t(part)],
                                             Load(kWeave.red[size_t(part)]), planes[2]);
        _mm512_storeu_si512(out + 64 * part, bytes);
    }
}

} // namespace

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void
TMatrixShaper::ConvertWide(const uint8_t* in, uint8_t* out, int width) const {
    int x = 0;
    for (; x + kPixels <= width; x += kPixels, in += kBytes, out += kBytes)
        ConvertBlock(*this, in, out);
    if (x == width) return;
    // The last pixels of the row through a block of their own, so that every pixel is converted
    // alike and nothing is read or written past the row.
    alignas(64) uint8_t rest[kBytes] = {};
    size_t bytes = size_t(width - x) * 3;
    std::copy(in, in + bytes, rest);
    ConvertBlock(*this, rest, rest);
    std::copy(rest, rest + bytes, out);
}

} // namespace vistrel
