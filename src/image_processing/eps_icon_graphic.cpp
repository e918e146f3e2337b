#include "image_processing/bitmap_graphic.h"
#include "image_processing/png_graphic.h"
#include "image_processing/side_formats.h"
#include "image_processing/tiff_graphic.h"

#include <cstring>

namespace vistrel {

bool TEPSGraphic::IsValidStream(ByteView data) const {
    return data.size() >= 30 && data[0] == 0xC5 && data[1] == 0xD0 && data[2] == 0xD3 && data[3] == 0xC6;
}

// The binary header gives offset and length of the PostScript, a metafile preview and a TIFF preview.
void TEPSGraphic::ReadImage(ByteView data, int) {
    Progress(0);
    FreeImage();
    if (!IsValidStream(data)) throw EImageError("Not a valid EPS file with preview");
    TByteReader r(data, "EPS");
    r.Seek(12);
    uint32_t metaStart = r.U32(), metaLength = r.U32(), tiffStart = r.U32(), tiffLength = r.U32();
    if (tiffStart != 0 && tiffLength != 0) {
        if (tiffStart > data.size() || tiffLength > data.size() - tiffStart) r.Fail();
        TTiffGraphic tiff;
        tiff.ReadImage(data.subspan(tiffStart, tiffLength), 1);
        TakeImageFrom(tiff);
    } else if (metaStart != 0 && metaLength != 0) {
        throw EImageError("The metafile preview of an EPS file is not supported");
    } else {
        throw EImageError("EPS file does not have a preview");
    }
    Progress(100);
}

bool TIconGraphic::IsValidStream(ByteView data) const {
    return data.size() >= 6 && data[0] == 0 && data[1] == 0 && data[2] == 1 && data[3] == 0 &&
           (data[4] | data[5]) != 0;
}

namespace {

struct IconEntry {
    int width, height, bits;
    uint32_t size, offset;
};

// The biggest image, the deepest of equal ones: what a view drawing the icon at its own size shows best.
IconEntry ChooseEntry(TByteReader& r) {
    int count = r.U16();
    IconEntry best{0, 0, 0, 0, 0};
    for (int i = 0; i < count; ++i) {
        int w = r.U8(), h = r.U8();
        r.Skip(4);
        int bits = r.U16();
        IconEntry e{w == 0 ? 256 : w, h == 0 ? 256 : h, bits, r.U32(), r.U32()};
        if (i == 0 || e.width * e.height > best.width * best.height ||
            (e.width * e.height == best.width * best.height && e.bits > best.bits))
            best = e;
    }
    if (count == 0) r.Fail();
    return best;
}

// The AND mask (1 = transparent) and 32-bit alpha, both composed on black.
void ApplyMask(TByteReader& r, TDibGraphic& image, const std::vector<uint8_t>& alpha) {
    int w = image.Width(), h = image.Height();
    size_t stride = (size_t(w) + 31) / 32 * 4;
    bool hasMask = r.Remaining() >= stride * h;
    for (int row = 0; row < h; ++row) {
        int y = h - 1 - row;
        const uint8_t* mask = hasMask ? r.Bytes(stride).data() : nullptr;
        uint8_t* out = image.ScanLine(y);
        for (int x = 0; x < w; ++x) {
            bool transparent = mask && ((mask[x >> 3] >> (7 - (x & 7))) & 1);
            unsigned a = alpha.empty() ? 255 : alpha[size_t(y) * w + x];
            if (transparent && alpha.empty()) a = 0;
            for (int c = 0; c < 3; ++c)
                out[3 * x + c] = uint8_t((out[3 * x + c] * a + 127) / 255);
        }
    }
}

} // namespace

void TIconGraphic::ReadImage(ByteView data, int) {
    Progress(0);
    FreeImage();
    if (!IsValidStream(data)) throw EImageError("Not a valid icon file");
    TByteReader r(data, "Icon");
    r.Seek(4);
    IconEntry entry = ChooseEntry(r);
    if (entry.offset > data.size() || entry.size > data.size() - entry.offset) r.Fail();
    ByteView image = data.subspan(entry.offset, entry.size);
    TPngGraphic png;
    if (png.IsValidStream(image)) {
        png.ReadImage(image, 1);
        TakeImageFrom(png);
        Progress(100);
        return;
    }
    TByteReader dib(image, "Icon");
    TDibGraphic decoded;
    std::vector<uint8_t> alpha;
    ReadDib(dib, 0, decoded, true, &alpha);
    NewImage(decoded.Width(), decoded.Height(), ifRgb24);
    for (int y = 0; y < decoded.Height(); ++y)
        for (int x = 0; x < decoded.Width(); ++x)
            WritePixel(x, y, decoded.ReadPixel(x, y));
    ApplyMask(dib, *this, alpha);
    Progress(100);
}

void TMetaFileGraphic::ReadImage(ByteView, int) {
    throw EImageError("Windows metafiles (WMF, EMF) are not supported");
}

} // namespace vistrel
