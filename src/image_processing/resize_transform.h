#pragma once
#include "image_processing/image_transform.h"
#include "image_processing/resampler.h"

namespace vistrel {

// Scales a picture to TargetWidth x TargetHeight: resampled with a filter (pictures, thumbnails) or
// stretched without filtering (the on-screen view).
class TResizeTransform : public TImageTransform {
public:
    std::string ClassName() const override { return "TResizeTransform"; }
    void ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) override;

    int32_t TargetWidth = 300;
    int32_t TargetHeight = 200;
    bool Resample = false;
    TResampleFilter ResampleFilter = sfTriangle;
    bool ForceFormat = false;
    TImageFormat ForcedFormat = ifRgb24;
};

// The unfiltered stretch of all of `source` onto all of `destination`: area averaging when a larger
// true-colour picture is reduced, dropped or repeated pixels otherwise.
void StretchImage(const TDibGraphic& source, TDibGraphic& destination);

} // namespace vistrel
