#include "image_processing/byte_reader.h"
#include "image_processing/side_formats.h"

#include <vector>

namespace vistrel {

namespace {

constexpr uint32_t DcxMagic = 987654321;

TPalette HeaderPalette(ByteView header) {
    TPalette palette(16);
    for (int i = 0; i < 16; ++i)
        palette[i] = TColor(header[16 + 3 * i]) << 16 | TColor(header[17 + 3 * i]) << 8 | header[18 + 3 * i];
    return palette;
}

// All planes of all lines in one run: runs may cross line ends in files written by some programs.
// A file cut short leaves the rest black.
std::vector<uint8_t> DecodeRuns(TByteReader& r, size_t total, bool encoded) {
    std::vector<uint8_t> out;
    out.reserve(total);
    while (out.size() < total && r.Remaining() > 0) {
        uint8_t b = r.U8();
        if (encoded && b >= 0xC0) {
            if (r.Remaining() == 0) break;
            uint8_t value = r.U8();
            out.insert(out.end(), std::min<size_t>(b & 0x3F, total - out.size()), value);
        } else {
            out.push_back(b);
        }
    }
    out.resize(total, 0);
    return out;
}

void ReadPcx(ByteView data, TDibGraphic& g) {
    TByteReader r(data, "PCX");
    ByteView header = r.Bytes(128);
    if (header[0] != 10) throw EImageError("Not a valid PCX file");
    int bits = header[3];
    int width = (header[8] | header[9] << 8) - (header[4] | header[5] << 8) + 1;
    int height = (header[10] | header[11] << 8) - (header[6] | header[7] << 8) + 1;
    int xDpi = header[12] | header[13] << 8, yDpi = header[14] | header[15] << 8;
    int planes = header[65];
    int bytesPerLine = header[66] | header[67] << 8;
    // Lines are padded to an even byte count; a far larger figure would make the decoder expand
    // gigabytes for a small picture, so it is refused.
    int lineBytes = (width * bits + 7) / 8;
    if (width < 1 || height < 1 || bytesPerLine < lineBytes || bytesPerLine > lineBytes + 8)
        throw EImageError("Not a valid PCX file");
    TImageFormat format;
    if (bits == 1 && planes == 1)
        format = ifBlackWhite;
    else if (bits == 1 && planes == 4)
        format = ifColor16;
    else if (bits == 8 && planes == 1)
        format = ifColor256;
    else if (bits == 8 && planes == 3)
        format = ifRgb24;
    else
        throw EImageError("Unsupported PCX format");
    TPalette palette = format == ifColor16 ? HeaderPalette(header) : TPalette{};
    if (format == ifBlackWhite) palette = {0x000000, 0xFFFFFF};
    g.NewImage(width, height, format, &palette, xDpi, yDpi);
    size_t line = size_t(bytesPerLine) * planes;
    std::vector<uint8_t> pixels = DecodeRuns(r, line * height, header[2] == 1);
    if (format == ifColor256) {
        // The 256-colour palette follows the pixels after a byte 12, at the end of the file.
        if (data.size() >= 769 && data[data.size() - 769] == 12) {
            for (int i = 0; i < 256; ++i) {
                const uint8_t* p = data.data() + data.size() - 768 + 3 * i;
                palette.push_back(TColor(p[0]) << 16 | TColor(p[1]) << 8 | p[2]);
            }
            g.NewImage(width, height, format, &palette, xDpi, yDpi);
        }
    }
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = pixels.data() + line * y;
        uint8_t* out = g.ScanLine(y);
        for (int x = 0; x < width; ++x) {
            switch (format) {
            case ifBlackWhite:
                out[x >> 3] = in[x >> 3];
                break;
            case ifColor16: {
                int index = 0;
                for (int p = 0; p < 4; ++p)
                    index |= ((in[p * bytesPerLine + (x >> 3)] >> (7 - (x & 7))) & 1) << p;
                g.WritePixelIndex(x, y, index);
                break;
            }
            case ifColor256:
                out[x] = in[x];
                break;
            default:
                for (int c = 0; c < 3; ++c)
                    out[3 * x + 2 - c] = in[c * bytesPerLine + x];
            }
        }
    }
}

} // namespace

bool TPcxGraphic::IsValidStream(ByteView data) const {
    return data.size() >= 128 && data[0] == 10;
}

void TPcxGraphic::ReadImage(ByteView data, int) {
    Progress(0);
    FreeImage();
    ReadPcx(data, *this);
    Progress(100);
}

bool TDcxGraphic::IsValidStream(ByteView data) const {
    return data.size() >= 8 && (data[0] | data[1] << 8 | data[2] << 16 | uint32_t(data[3]) << 24) == DcxMagic;
}

int TDcxGraphic::ImageCount(ByteView data) const {
    TByteReader r(data, "DCX");
    if (!IsValidStream(data)) return 0;
    r.Skip(4);
    int count = 0;
    while (count < 1023 && r.Remaining() >= 4 && r.U32() != 0)
        ++count;
    return count;
}

void TDcxGraphic::ReadImage(ByteView data, int index) {
    Progress(0);
    FreeImage();
    if (!IsValidStream(data)) throw EImageError("Not a valid DCX file");
    if (index < 1 || index > ImageCount(data))
        throw EImageError("DCX page " + std::to_string(index) + " does not exist");
    TByteReader r(data, "DCX");
    r.Seek(size_t(index) * 4);
    uint32_t offset = r.U32();
    if (offset >= data.size()) r.Fail();
    ReadPcx(data.subspan(offset), *this);
    Progress(100);
}

} // namespace vistrel
