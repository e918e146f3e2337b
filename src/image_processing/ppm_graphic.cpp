#include "image_processing/side_formats.h"

#include <cctype>
#include <string>

namespace vistrel {

namespace {

[[noreturn]] void Invalid() {
    throw EImageError("Not a valid PPM file");
}

// Header and ASCII samples: numbers separated by white space, '#' comments to the end of the line.
class PnmTokens {
public:
    explicit PnmTokens(ByteView data) : data_(data), pos_(2) {}

    uint32_t Number() {
        SkipSpace();
        if (pos_ >= data_.size() || !std::isdigit(data_[pos_])) Invalid();
        uint64_t value = 0;
        while (pos_ < data_.size() && std::isdigit(data_[pos_])) {
            value = value * 10 + (data_[pos_++] - '0');
            if (value > 0x7FFFFFFF) Invalid();
        }
        return uint32_t(value);
    }
    // P1 packs digits without separators: one character is one pixel.
    uint32_t Bit() {
        SkipSpace();
        if (pos_ >= data_.size() || (data_[pos_] != '0' && data_[pos_] != '1')) Invalid();
        return data_[pos_++] - '0';
    }
    // Binary samples start after exactly one white-space character following the header.
    size_t BinaryStart() { return pos_ + 1; }

private:
    void SkipSpace() {
        while (pos_ < data_.size()) {
            if (data_[pos_] == '#')
                while (pos_ < data_.size() && data_[pos_] != '\n' && data_[pos_] != '\r')
                    ++pos_;
            else if (std::isspace(data_[pos_]))
                ++pos_;
            else
                break;
        }
    }
    ByteView data_;
    size_t pos_;
};

} // namespace

bool TPpmGraphic::IsValidStream(ByteView data) const {
    return data.size() >= 2 && data[0] == 'P' && data[1] >= '1' && data[1] <= '6';
}

void TPpmGraphic::ReadImage(ByteView data, int) {
    Progress(0);
    FreeImage();
    if (!IsValidStream(data)) Invalid();
    int variant = data[1] - '0';
    bool binary = variant >= 4, bitmap = variant % 3 == 1, color = variant % 3 == 0;
    PnmTokens tokens(data);
    int width = int(tokens.Number()), height = int(tokens.Number());
    uint32_t maxValue = bitmap ? 1 : tokens.Number();
    if (width < 1 || height < 1 || maxValue < 1 || maxValue > 65535) Invalid();
    int channels = color ? 3 : 1;
    size_t sampleBytes = maxValue > 255 ? 2 : 1;
    size_t pos = tokens.BinaryStart();
    size_t bitmapRow = (size_t(width) + 7) / 8;
    size_t samples = size_t(width) * size_t(height) * size_t(bitmap ? 1 : channels);
    // Checked before the pixel store is made, so a short file cannot claim gigabytes: binary samples
    // have their exact length, ASCII ones take at least a character each (P1) or a digit and a
    // separator (P2, P3).
    size_t needed =
        binary ? (bitmap ? bitmapRow * height : samples * sampleBytes) : (bitmap ? samples : 2 * samples - 1);
    size_t start = binary ? pos : pos - 1;
    if (start > data.size() || data.size() - start < needed) Invalid();
    NewImage(width, height, bitmap ? ifBlackWhite : color ? ifRgb24 : ifGray256);
    auto sample = [&]() -> uint32_t {
        if (!binary) return tokens.Number();
        uint32_t v = data[pos++];
        if (sampleBytes == 2) v = v << 8 | data[pos++];
        return v;
    };
    for (int y = 0; y < height; ++y) {
        uint8_t* row = ScanLine(y);
        for (int x = 0; x < width; ++x) {
            if (bitmap) {
                // In a bitmap 1 is black, which is index 0 of the black-and-white palette.
                uint32_t black =
                    binary ? (data[pos + y * bitmapRow + (x >> 3)] >> (7 - (x & 7))) & 1 : tokens.Bit();
                WritePixelIndex(x, y, black ? 0 : 1);
                continue;
            }
            // Samples come red, green, blue; the pixel store holds blue, green, red.
            for (int k = 0; k < channels; ++k) {
                uint32_t v = std::min(sample(), maxValue);
                row[x * channels + (color ? 2 - k : 0)] = uint8_t((v * 255 + maxValue / 2) / maxValue);
            }
        }
    }
    Progress(100);
}

void TPpmGraphic::WriteToStream(ByteBuffer& out) {
    Progress(0);
    if (IsEmpty()) throw EImageError("The image is empty");
    bool bitmap = ImageFormat() == ifBlackWhite;
    bool gray = ImageFormat() == ifGray256 || ImageFormat() == ifGray16;
    char variant = char('0' + (bitmap ? 1 : gray ? 2 : 3) + (Ascii ? 0 : 3));
    std::string header =
        std::string("P") + variant + "\n" + std::to_string(Width()) + " " + std::to_string(Height()) + "\n";
    if (!bitmap) header += "255\n";
    out.assign(header.begin(), header.end());
    auto put = [&](int value, bool last) {
        if (!Ascii) return out.push_back(uint8_t(value));
        std::string text = std::to_string(value) + (last ? "\n" : " ");
        out.insert(out.end(), text.begin(), text.end());
    };
    for (int y = 0; y < Height(); ++y) {
        uint8_t bits = 0;
        for (int x = 0; x < Width(); ++x) {
            TColor c = ReadPixel(x, y);
            bool last = x == Width() - 1;
            if (bitmap) {
                int black = c == 0 ? 1 : 0;
                if (Ascii) put(black, last);
                bits |= uint8_t(black << (7 - (x & 7)));
                if (!Ascii && ((x & 7) == 7 || last)) out.push_back(bits), bits = 0;
            } else if (gray) {
                put(int(c & 0xFF), last);
            } else {
                put(int((c >> 16) & 0xFF), false);
                put(int((c >> 8) & 0xFF), false);
                put(int(c & 0xFF), last);
            }
        }
    }
    Progress(100);
}

} // namespace vistrel
