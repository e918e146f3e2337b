#pragma once
#include "image_processing/dib_graphic.h"

namespace vistrel {

// GIF through giflib: the first frame, placed on the logical screen and composed on black (its
// transparent pixels stay black), as ifRgb24.
class TGifGraphic : public TDibGraphic {
public:
    std::string ClassName() const override { return "TGifGraphic"; }
    bool IsValidStream(ByteView data) const override;
    void ReadImage(ByteView data, int index) override;
};

} // namespace vistrel
