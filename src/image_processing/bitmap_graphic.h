#pragma once
#include "image_processing/byte_reader.h"

namespace vistrel {

// Windows BMP files: 1, 4 and 8 bits with their palettes, 16, 24 and 32 bits as true colour,
// uncompressed, bit fields or run-length encoded.
class TBitmapGraphic : public TDibGraphic {
public:
    std::string ClassName() const override { return "TBitmapGraphic"; }
    bool IsValidStream(ByteView data) const override;
    void ReadImage(ByteView data, int index) override;
    void WriteToStream(ByteBuffer& out) override;
};

// Reads a DIB (info header, colour table, pixels) at the reader's position. `pixelOffset` is where
// the pixels start, or 0 when they follow the colour table. An icon image stores twice its height
// (the mask follows); `halveHeight` reads the image part only. `alpha`, when given, receives the
// fourth byte of 32-bit pixels, top row first; it stays empty for other depths.
void ReadDib(TByteReader& reader, size_t pixelOffset, TDibGraphic& graphic, bool halveHeight = false,
             std::vector<uint8_t>* alpha = nullptr);

} // namespace vistrel
