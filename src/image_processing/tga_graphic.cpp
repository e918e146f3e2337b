#include "image_processing/byte_reader.h"
#include "image_processing/side_formats.h"

#include <vector>

namespace vistrel {

namespace {

TColor TgaColor(const uint8_t* p, int bits) {
    if (bits == 15 || bits == 16) {
        unsigned v = p[0] | p[1] << 8;
        auto five = [](unsigned c) { return TColor((c & 31) * 255 / 31); };
        return five(v >> 10) << 16 | five(v >> 5) << 8 | five(v);
    }
    return TColor(p[2]) << 16 | TColor(p[1]) << 8 | p[0];
}

// All pixels in file order, run-length packets expanded; a file cut short leaves the rest zero.
std::vector<uint8_t> ReadPixelBytes(TByteReader& r, size_t count, int bytesPerPixel, bool rle) {
    size_t total = count * bytesPerPixel;
    std::vector<uint8_t> out;
    out.reserve(total);
    while (out.size() < total && r.Remaining() > 0) {
        if (!rle) {
            ByteView chunk = r.Bytes(std::min(total - out.size(), r.Remaining()));
            out.insert(out.end(), chunk.begin(), chunk.end());
            break;
        }
        uint8_t packet = r.U8();
        size_t n = std::min<size_t>((packet & 0x7F) + 1, (total - out.size()) / bytesPerPixel);
        if (packet & 0x80) {
            if (r.Remaining() < size_t(bytesPerPixel)) break;
            ByteView value = r.Bytes(bytesPerPixel);
            for (size_t k = 0; k < n; ++k)
                out.insert(out.end(), value.begin(), value.end());
        } else {
            if (r.Remaining() < n * bytesPerPixel) break;
            ByteView values = r.Bytes(n * bytesPerPixel);
            out.insert(out.end(), values.begin(), values.end());
        }
    }
    out.resize(total, 0);
    return out;
}

} // namespace

void TTgaGraphic::ReadImage(ByteView data, int) {
    Progress(0);
    FreeImage();
    TByteReader r(data, "Targa");
    int idLength = r.U8(), mapType = r.U8(), type = r.U8();
    int mapFirst = r.U16(), mapLength = r.U16(), mapBits = r.U8();
    r.Skip(4);
    int width = r.U16(), height = r.U16(), bits = r.U8(), descriptor = r.U8();
    int baseType = type & 7;
    bool rle = type & 8;
    if (baseType < 1 || baseType > 3 || type > 11 || mapType > 1 || width < 1 || height < 1)
        throw EImageError("Not a valid Targa file");
    r.Skip(idLength);
    TPalette palette;
    if (mapType == 1) {
        if (mapBits != 15 && mapBits != 16 && mapBits != 24 && mapBits != 32)
            throw EImageError("Not a valid Targa file");
        palette.assign(256, 0);
        for (int i = 0; i < mapLength; ++i) {
            ByteView e = r.Bytes((mapBits + 7) / 8);
            if (mapFirst + i < 256) palette[mapFirst + i] = TgaColor(e.data(), mapBits);
        }
    }
    bool mapped = baseType == 1, gray = baseType == 3;
    if ((mapped || gray) ? bits != 8 : (bits != 15 && bits != 16 && bits != 24 && bits != 32))
        throw EImageError("Unsupported Targa format");
    NewImage(width, height, mapped ? ifColor256 : gray ? ifGray256 : ifRgb24, &palette);
    int bytesPerPixel = (bits + 7) / 8;
    std::vector<uint8_t> pixels = ReadPixelBytes(r, size_t(width) * height, bytesPerPixel, rle);
    bool topDown = descriptor & 0x20, rightToLeft = descriptor & 0x10;
    for (int row = 0; row < height; ++row) {
        uint8_t* out = ScanLine(topDown ? row : height - 1 - row);
        const uint8_t* in = pixels.data() + size_t(row) * width * bytesPerPixel;
        for (int col = 0; col < width; ++col) {
            int x = rightToLeft ? width - 1 - col : col;
            const uint8_t* p = in + size_t(col) * bytesPerPixel;
            if (bytesPerPixel == 1) {
                out[x] = p[0];
            } else {
                TColor c = TgaColor(p, bits);
                out[3 * x] = uint8_t(c), out[3 * x + 1] = uint8_t(c >> 8), out[3 * x + 2] = uint8_t(c >> 16);
            }
        }
    }
    Progress(100);
}

// Uncompressed, bottom row first: the pixel store's own order, so rows are copied as they are.
void TTgaGraphic::WriteToStream(ByteBuffer& out) {
    Progress(0);
    TImageFormat format = ImageFormat();
    if (IsEmpty() || (format != ifGray256 && format != ifColor256 && format != ifRgb24))
        throw EImageError("TARGA image must be true color or 8 bit with palette");
    bool mapped = format == ifColor256;
    out.assign(18, 0);
    out[1] = mapped ? 1 : 0;
    out[2] = mapped ? 1 : format == ifGray256 ? 3 : 2;
    if (mapped) out[5] = 0, out[6] = 1, out[7] = 24;
    out[12] = uint8_t(Width()), out[13] = uint8_t(Width() >> 8);
    out[14] = uint8_t(Height()), out[15] = uint8_t(Height() >> 8);
    out[16] = format == ifRgb24 ? 24 : 8;
    if (Width() > 65535 || Height() > 65535) throw EImageError("Image too large for a Targa file");
    if (mapped)
        for (TColor c : Palette())
            out.insert(out.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)});
    size_t rowBytes = size_t(Width()) * (format == ifRgb24 ? 3 : 1);
    for (int y = Height() - 1; y >= 0; --y)
        out.insert(out.end(), ScanLine(y), ScanLine(y) + rowBytes);
    Progress(100);
}

} // namespace vistrel
