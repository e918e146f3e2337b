#pragma once
#include "image_processing/dib_graphic.h"

namespace vistrel {

// TIFF through libtiff. Reading takes any layout libtiff can turn into colour (one image per
// directory); single-channel gray files stay ifGray256. Writing keeps the format: palette formats
// as palette images, gray as gray, true colour as RGB, deflate-compressed.
class TTiffGraphic : public TDibGraphic {
public:
    std::string ClassName() const override { return "TTiffGraphic"; }
    bool IsValidStream(ByteView data) const override;
    int ImageCount(ByteView data) const override;
    void ReadImage(ByteView data, int index) override;
    void WriteToStream(ByteBuffer& out) override;
};

} // namespace vistrel
