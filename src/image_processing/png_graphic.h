#pragma once
#include "image_processing/dib_graphic.h"

namespace vistrel {

// PNG through libpng: every colour type and depth, interlaced or not. Transparent parts are composed
// over the file's background colour, or black; gray files stay ifGray256, all others become ifRgb24.
class TPngGraphic : public TDibGraphic {
public:
    std::string ClassName() const override { return "TPngGraphic"; }
    bool IsValidStream(ByteView data) const override;
    void ReadImage(ByteView data, int index) override;
    void WriteToStream(ByteBuffer& out) override;
};

} // namespace vistrel
