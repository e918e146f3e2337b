#include "image_processing/bitmap_graphic.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace vistrel {

namespace {

enum Compression : uint32_t { biRgb = 0, biRle8 = 1, biRle4 = 2, biBitfields = 3 };

struct DibHeader {
    uint32_t size = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bitCount = 0;
    uint32_t compression = biRgb;
    int32_t xPels = 0, yPels = 0;
    uint32_t colorsUsed = 0;
    uint32_t masks[4] = {0, 0, 0, 0};
    bool topDown = false;
};

// The 12-byte OS/2 core header has 16-bit sizes and 3-byte palette entries; all others start with
// the 40-byte Windows header and may carry the colour masks inside (V4 and V5).
DibHeader ReadHeader(TByteReader& r) {
    DibHeader h;
    size_t start = r.Position();
    h.size = r.U32();
    if (h.size == 12) {
        h.width = r.U16();
        h.height = int16_t(r.U16());
        r.U16();
        h.bitCount = r.U16();
        return h;
    }
    if (h.size < 40 || h.size > 4096) r.Fail();
    h.width = r.I32();
    h.height = r.I32();
    r.U16();
    h.bitCount = r.U16();
    h.compression = r.U32();
    r.U32();
    h.xPels = r.I32();
    h.yPels = r.I32();
    h.colorsUsed = r.U32();
    r.U32();
    if (h.size >= 52)
        for (int k = 0; k < (h.size >= 56 ? 4 : 3); ++k)
            h.masks[k] = r.U32();
    r.Seek(start + h.size);
    if (h.compression == biBitfields && h.size < 52)
        for (int k = 0; k < 3; ++k)
            h.masks[k] = r.U32();
    if (h.height < 0) {
        if (h.height == INT32_MIN) r.Fail();
        h.height = -h.height;
        h.topDown = true;
    }
    return h;
}

TPalette ReadColorTable(TByteReader& r, const DibHeader& h) {
    if (h.bitCount > 8) return {};
    uint32_t count = h.colorsUsed == 0 || h.colorsUsed > (1u << h.bitCount) ? 1u << h.bitCount : h.colorsUsed;
    TPalette palette(count);
    for (TColor& c : palette) {
        ByteView e = r.Bytes(h.size == 12 ? 3 : 4);
        c = TColor(e[2]) << 16 | TColor(e[1]) << 8 | e[0];
    }
    return palette;
}

// A channel under a bit mask, scaled to 0 .. 255.
uint8_t MaskedChannel(uint32_t pixel, uint32_t mask) {
    if (mask == 0) return 0;
    int shift = std::countr_zero(mask);
    uint32_t max = mask >> shift;
    return uint8_t(uint64_t((pixel & mask) >> shift) * 255 / max);
}

void DecodeDeepRow(const uint8_t* in, const DibHeader& h, uint8_t* out, uint8_t* alpha) {
    uint32_t red = h.masks[0], green = h.masks[1], blue = h.masks[2];
    if (h.compression != biBitfields) {
        red = h.bitCount == 16 ? 0x7C00 : 0xFF0000;
        green = h.bitCount == 16 ? 0x03E0 : 0x00FF00;
        blue = h.bitCount == 16 ? 0x001F : 0x0000FF;
    }
    for (int x = 0; x < h.width; ++x) {
        uint32_t p = h.bitCount == 16 ? uint32_t(in[2 * x] | in[2 * x + 1] << 8)
                                      : uint32_t(in[4 * x]) | uint32_t(in[4 * x + 1]) << 8 |
                                            uint32_t(in[4 * x + 2]) << 16 | uint32_t(in[4 * x + 3]) << 24;
        out[3 * x] = MaskedChannel(p, blue);
        out[3 * x + 1] = MaskedChannel(p, green);
        out[3 * x + 2] = MaskedChannel(p, red);
        if (alpha) alpha[x] = h.bitCount == 32 ? uint8_t(p >> 24) : 255;
    }
}

// Run-length encoded 4- and 8-bit pixels. Runs and deltas that leave the picture end the decoding
// instead of writing past a row: such files exist, and what was decoded so far is kept.
void DecodeRle(TByteReader& r, const DibHeader& h, TDibGraphic& g) {
    bool four = h.compression == biRle4;
    int x = 0, y = 0; // y counted from the bottom
    auto put = [&](int index) {
        if (x < h.width && y < h.height) g.WritePixelIndex(x, h.height - 1 - y, index);
        ++x;
    };
    while (y < h.height && r.Remaining() >= 2) {
        uint8_t count = r.U8(), value = r.U8();
        if (count > 0) {
            for (int k = 0; k < count; ++k)
                put(four ? ((k & 1) ? value & 0x0F : value >> 4) : value);
        } else if (value == 0) {
            x = 0, ++y;
        } else if (value == 1) {
            return;
        } else if (value == 2) {
            x += r.U8();
            y += r.U8();
        } else {
            ByteView literal = r.Bytes(four ? ((value + 3) / 4) * 2 : (value + 1) / 2 * 2);
            for (int k = 0; k < value; ++k)
                put(four ? ((k & 1) ? literal[k / 2] & 0x0F : literal[k / 2] >> 4) : literal[k]);
        }
    }
}

} // namespace

void ReadDib(TByteReader& r, size_t pixelOffset, TDibGraphic& g, bool halveHeight,
             std::vector<uint8_t>* alpha) {
    DibHeader h = ReadHeader(r);
    if (halveHeight) h.height /= 2;
    if (h.width < 1 || h.height < 1) r.Fail();
    TPalette palette = ReadColorTable(r, h);
    if (pixelOffset != 0) r.Seek(pixelOffset);
    TImageFormat format;
    switch (h.bitCount) {
    case 1:
        format = ifBlackWhite;
        break;
    case 4:
        format = ifColor16;
        break;
    case 8:
        format = ifColor256;
        break;
    case 16:
    case 24:
    case 32:
        format = ifRgb24;
        break;
    default:
        throw EImageError("Unsupported bit count");
    }
    bool rle = (h.compression == biRle8 && h.bitCount == 8) || (h.compression == biRle4 && h.bitCount == 4);
    bool fields = h.compression == biBitfields && (h.bitCount == 16 || h.bitCount == 32);
    if (h.compression != biRgb && !rle && !fields) throw EImageError("Unsupported compression");
    g.NewImage(h.width, h.height, format, &palette, 0, 0);
    if (h.xPels > 0 && h.yPels > 0) g.SetPelsPerMeter(h.xPels, h.yPels);
    if (rle) return DecodeRle(r, h, g);
    size_t stride = (size_t(h.width) * h.bitCount + 31) / 32 * 4;
    if (alpha) alpha->assign(h.bitCount == 32 ? size_t(h.width) * h.height : 0, 255);
    for (int row = 0; row < h.height; ++row) {
        const uint8_t* in = r.Bytes(stride).data();
        int y = h.topDown ? row : h.height - 1 - row;
        if (h.bitCount <= 8 || h.bitCount == 24)
            std::memcpy(g.ScanLine(y), in, std::min<size_t>(stride, g.BytesPerRow()));
        else
            DecodeDeepRow(in, h, g.ScanLine(y),
                          alpha && !alpha->empty() ? alpha->data() + size_t(y) * h.width : nullptr);
    }
}

bool TBitmapGraphic::IsValidStream(ByteView data) const {
    return data.size() >= 2 && data[0] == 'B' && data[1] == 'M';
}

void TBitmapGraphic::ReadImage(ByteView data, int) {
    Progress(0);
    FreeImage();
    if (!IsValidStream(data)) throw EImageError("Not a valid bitmap file");
    TByteReader r(data, "Bitmap");
    r.Skip(10);
    uint32_t offset = r.U32();
    ReadDib(r, offset, *this);
    Progress(100);
}

void TDibGraphic::LoadFromPackedDib(ByteView dib) {
    TByteReader r(dib, "DIB");
    ReadDib(r, 0, *this);
}

void TBitmapGraphic::WriteToStream(ByteBuffer& out) {
    Progress(0);
    if (IsEmpty()) throw EImageError("The image is empty");
    uint32_t entries = ImageFormat() == ifRgb24 ? 0 : uint32_t(Palette().size());
    uint32_t offset = 54 + 4 * entries;
    uint32_t imageSize = uint32_t(ImageSize());
    out.clear();
    out.reserve(offset + imageSize);
    auto u16 = [&](uint32_t v) { out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)}); };
    auto u32 = [&](uint32_t v) {
        out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
    };
    out.push_back('B');
    out.push_back('M');
    u32(offset + imageSize);
    u32(0);
    u32(offset);
    u32(40);
    u32(uint32_t(Width()));
    u32(uint32_t(Height()));
    u16(1);
    u16(uint32_t(BitsPerPixel(ImageFormat())));
    u32(biRgb);
    u32(imageSize);
    u32(uint32_t(XPelsPerMeter()));
    u32(uint32_t(YPelsPerMeter()));
    u32(entries);
    u32(0);
    for (uint32_t i = 0; i < entries; ++i)
        u32(Palette()[i] & 0xFFFFFF);
    out.insert(out.end(), Pixels(), Pixels() + imageSize);
    Progress(100);
}

} // namespace vistrel
