#pragma once
#include "image_processing/dib_graphic.h"

namespace vistrel {

// JPEG through libjpeg: reads gray or colour files, writes ifGray256 and ifRgb24 pictures.
class TJpegGraphic : public TDibGraphic {
public:
    std::string ClassName() const override { return "TJpegGraphic"; }
    // FF D8 FF E0, "JFIF" and a zero byte at offset 6; a file starting with another marker fails it.
    bool IsValidStream(ByteView data) const override;
    void ReadImage(ByteView data, int index) override;
    void WriteToStream(ByteBuffer& out) override;

    uint8_t Quality = 80;
    bool Progressive = false;
    bool OptimizeCoding = false;
    // Warnings libjpeg reported during the last read or write (a file cut short, stray bytes).
    int WarningCount() const { return warnings_; }

private:
    int warnings_ = 0;
};

} // namespace vistrel
