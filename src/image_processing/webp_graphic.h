#pragma once
#include "image_processing/dib_graphic.h"

namespace vistrel {

// WebP through libwebp: lossy and lossless, with or without alpha; of an animation the first frame,
// placed on its canvas. Transparent parts are composed on black; the result is ifRgb24.
class TWebpGraphic : public TDibGraphic {
public:
    std::string ClassName() const override { return "TWebpGraphic"; }
    // "RIFF", a length and "WEBP".
    bool IsValidStream(ByteView data) const override;
    void ReadImage(ByteView data, int index) override;
};

} // namespace vistrel
