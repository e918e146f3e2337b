#include "image_processing/resampler.h"

#include "common/numbers.h"
#include "image_processing/parallel_for.h"
#include "image_processing/resample_passes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vistrel {

namespace {

float Sinc(float x) {
    if (x == 0.0f) return 1.0f;
    x *= std::numbers::pi_v<float>;
    return std::sin(x) / x;
}

void HorizontalStrip(const TDibGraphic& source, const TContributorTable& table, int y0, int dw,
                     std::vector<uint8_t>& work) {
    thread_local std::vector<float> strip;
    strip.resize(size_t(source.Width()) * kStripWidth);
    LoadStripFromPicture(source, y0, strip.data());
    int rows = std::min(kStripRows, source.Height() - y0);
    ReduceStrip(strip.data(), table, rows, dw, work.data() + size_t(y0) * dw * 3, size_t(dw) * 3);
}

} // namespace

float FilterValue(TResampleFilter filter, float x) {
    float a = std::fabs(x);
    switch (filter) {
    case sfTriangle:
        return a < 1.0f ? 1.0f - a : 0.0f;
    case sfHermite:
        return a < 1.0f ? (2.0f * a - 3.0f) * a * a + 1.0f : 0.0f;
    case sfBell:
        if (a < 0.5f) return 0.75f - a * a;
        if (a < 1.5f) return 0.5f * (a - 1.5f) * (a - 1.5f);
        return 0.0f;
    case sfBSpline:
        if (a < 1.0f) return 0.5f * a * a * a - a * a + 2.0f / 3.0f;
        if (a < 2.0f) return (2.0f - a) * (2.0f - a) * (2.0f - a) / 6.0f;
        return 0.0f;
    case sfLanczos3:
        return a < 3.0f ? Sinc(x) * Sinc(x / 3.0f) : 0.0f;
    case sfMitchell:
        if (a < 1.0f) return (7.0f * a * a * a - 12.0f * a * a + 16.0f / 3.0f) / 6.0f;
        if (a < 2.0f) return (-7.0f / 3.0f * a * a * a + 12.0f * a * a - 20.0f * a + 32.0f / 3.0f) / 6.0f;
        return 0.0f;
    }
    return 0.0f;
}

float FilterSupport(TResampleFilter filter) {
    static constexpr float support[] = {1.0f, 1.0f, 1.5f, 2.0f, 3.0f, 2.0f};
    return filter <= sfMitchell ? support[filter] : 1.0f;
}

float ResampleScale(int destinationLength, int sourceLength) {
    if (sourceLength == 1) return float(destinationLength) / float(sourceLength);
    return float(destinationLength - 1) / float(sourceLength - 1);
}

// The list of each position is as long as its window needs; a fixed Trunc(2w + 1) slots can be one
// or two short when the centre falls between pixels, so it is not used as a bound.
TContributorTable BuildContributors(int destinationLength, int sourceLength, float scale,
                                    TResampleFilter filter) {
    TContributorTable table;
    table.start.reserve(size_t(destinationLength) + 1);
    float support = FilterSupport(filter);
    bool enlarging = scale >= 1.0f;
    float width = enlarging ? support : support / scale;
    int n = sourceLength;
    // Room for every entry at once: growing the vectors copied them into fresh pages again and again.
    size_t entriesEach = size_t(2 * std::ceil(width) + 3);
    table.index.reserve(size_t(destinationLength) * entriesEach);
    table.weight.reserve(size_t(destinationLength) * entriesEach);
    for (int i = 0; i < destinationLength; ++i) {
        table.start.push_back(uint32_t(table.index.size()));
        float centre = float(i) / scale;
        int left = int(std::floor(centre - width));
        int right = int(std::ceil(centre + width));
        for (int j = left; j <= right; ++j) {
            float weight = enlarging ? FilterValue(filter, centre - float(j))
                                     : FilterValue(filter, (centre - float(j)) * scale) * scale;
            if (weight == 0.0f) continue;
            int k = j < 0 ? -j : (j >= n ? 2 * n - 1 - j : j);
            if (k < 0 || k >= n) {
                // Mirrored and still outside: the entry stays, without weight, at a harmless index.
                k = 0;
                weight = 0.0f;
            }
            table.index.push_back(k);
            table.weight.push_back(weight);
        }
    }
    table.start.push_back(uint32_t(table.index.size()));
    return table;
}

void ResampleImage(const TDibGraphic& source, TDibGraphic& destination, TResampleFilter filter,
                   const TProgressReport& report) {
    int sw = source.Width(), sh = source.Height();
    int dw = destination.Width(), dh = destination.Height();
    if (sw < 1 || sh < 1) throw EImageError("Source graphic too small");
    if (dw <= 1 || dh <= 1) throw EImageError("Destination graphic too small");
    std::vector<uint8_t> work(size_t(dw) * size_t(sh) * 3);

    TContributorTable columns = BuildContributors(dw, sw, ResampleScale(dw, sw), filter);
    report(dw - 1, 0, 5LL * dw - 5);

    int strips = (sh + kStripRows - 1) / kStripRows;
    ParallelFor(
        strips, WorkerCount(strips, 3LL * sw * kStripRows),
        [&](int s) { HorizontalStrip(source, columns, s * kStripRows, dw, work); },
        [&](int done) { report(std::min(sh, done * kStripRows) - 1 + sh, 0, 5LL * sh - 5); });

    TContributorTable rows = BuildContributors(dh, sh, ResampleScale(dh, sh), filter);
    report(dh - 1 + 2LL * dh, 0, 5LL * dh - 5);

    // WritePixel into a palette picture updates the colour cache, so only true colour runs in parallel.
    int threads = destination.ImageFormat() == ifRgb24 ? WorkerCount(dh, 3LL * dw * 8) : 1;
    int64_t columnsBase = Trunc(1.5 * dw), columnsEnd = Trunc(2.5 * (dw - 1));
    ParallelFor(
        dh, threads, [&](int i) { ReduceColumnsIntoRow(work.data(), rows, i, dw, destination); },
        [&](int done) { report(int64_t(done) * (dw - 1) / dh + columnsBase, 0, columnsEnd); });
}

} // namespace vistrel
