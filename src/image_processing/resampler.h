#pragma once
#include "image_processing/dib_graphic.h"

#include <functional>
#include <vector>

namespace vistrel {

enum TResampleFilter : uint8_t { sfTriangle, sfHermite, sfBell, sfBSpline, sfLanczos3, sfMitchell };

float FilterValue(TResampleFilter filter, float x);
float FilterSupport(TResampleFilter filter);

// For each destination position, the source positions it draws on and their weights. Built once per
// axis; the passes only walk these tables. Weights are deliberately not normalised.
struct TContributorTable {
    std::vector<uint32_t> start; // start[i] .. start[i + 1] index the entries of destination position i
    std::vector<int32_t> index;  // source position, mirrored at the edges
    std::vector<float> weight;

    size_t Count(size_t i) const { return start[i + 1] - start[i]; }
};

// `scale` is destination over source in single precision, as the passes use it.
float ResampleScale(int destinationLength, int sourceLength);
TContributorTable BuildContributors(int destinationLength, int sourceLength, float scale,
                                    TResampleFilter filter);

// (current, minimum, maximum) for TImageTransform::ReportProgress.
using TProgressReport = std::function<void(int64_t, int64_t, int64_t)>;

// Resamples all of `source` onto all of `destination`, which must already have its size and format.
// Raises "Source graphic too small" and "Destination graphic too small".
void ResampleImage(const TDibGraphic& source, TDibGraphic& destination, TResampleFilter filter,
                   const TProgressReport& report);

} // namespace vistrel
