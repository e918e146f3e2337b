#include "image_processing/dib_graphic.h"

#include "common/atomic_file.h"
#include "common/numbers.h"
#include "common/text_utils.h"
#include "image_processing/huge_pages.h"
#include "image_processing/mapped_file.h"

#include <array>
#include <cstdlib>
#include <cstring>

namespace vistrel {

namespace {

constexpr double InchesPerMetre = 39.370078740157480317;
uint64_t pixelStoreLimit = uint64_t(1) << 30;

TPalette GrayPalette(int entries) {
    TPalette palette(entries);
    int step = 255 / (entries - 1);
    for (int i = 0; i < entries; ++i)
        palette[i] = TColor(i * step) * 0x010101u;
    return palette;
}

const TPalette vgaColors16 = {0x000000, 0x0000AA, 0x00AA00, 0x00AAAA, 0xAA0000, 0xAA00AA, 0xAA5500, 0xAAAAAA,
                              0x555555, 0x5555FF, 0x55FF55, 0x55FFFF, 0xFF5555, 0xFF55FF, 0xFFFF55, 0xFFFFFF};

TColor FromSixBit(int r, int g, int b) {
    auto scale = [](int v) { return TColor((v * 255 + 31) / 63); };
    return scale(r) << 16 | scale(g) << 8 | scale(b);
}

// The VGA default palette: the 16 colours, 16 grays, then a 24-step hue circle at three intensities
// and three saturations each, and 8 unused black entries at the end.
TPalette VgaPalette256() {
    TPalette palette = vgaColors16;
    for (int v : {0, 5, 8, 11, 14, 17, 20, 24, 28, 32, 36, 40, 45, 50, 56, 63})
        palette.push_back(FromSixBit(v, v, v));
    const int levels[3][3][5] = {{{0, 16, 31, 47, 63}, {31, 39, 47, 55, 63}, {45, 49, 54, 58, 63}},
                                 {{0, 7, 14, 21, 28}, {14, 17, 21, 24, 28}, {20, 22, 24, 26, 28}},
                                 {{0, 4, 8, 12, 16}, {8, 10, 12, 14, 16}, {11, 12, 13, 15, 16}}};
    for (const auto& intensity : levels) {
        for (const auto& v : intensity) {
            // Blue to magenta to red to yellow to green to cyan and back towards blue, four steps each.
            for (int k = 0; k < 4; ++k)
                palette.push_back(FromSixBit(v[k], v[0], v[4]));
            for (int k = 4; k > 0; --k)
                palette.push_back(FromSixBit(v[4], v[0], v[k]));
            for (int k = 0; k < 4; ++k)
                palette.push_back(FromSixBit(v[4], v[k], v[0]));
            for (int k = 4; k > 0; --k)
                palette.push_back(FromSixBit(v[k], v[4], v[0]));
            for (int k = 0; k < 4; ++k)
                palette.push_back(FromSixBit(v[0], v[4], v[k]));
            for (int k = 4; k > 0; --k)
                palette.push_back(FromSixBit(v[0], v[k], v[4]));
        }
    }
    palette.resize(256, 0);
    return palette;
}

} // namespace

int BitsPerPixel(TImageFormat format) {
    static constexpr std::array<int, 6> bits = {1, 4, 8, 4, 8, 24};
    return bits[CheckedImageFormat(format)];
}

const TPalette& DefaultPalette(TImageFormat format) {
    static const std::array<TPalette, 6> palettes = {TPalette{0x000000, 0xFFFFFF},
                                                     GrayPalette(16),
                                                     GrayPalette(256),
                                                     vgaColors16,
                                                     VgaPalette256(),
                                                     TPalette{}};
    return palettes[CheckedImageFormat(format)];
}

TImageFormat CheckedImageFormat(int value) {
    if (value < ifBlackWhite || value > ifRgb24) throw EImageError("Internal error: Invalid image format");
    return TImageFormat(value);
}

uint64_t PixelStoreLimit() {
    return pixelStoreLimit;
}
void SetPixelStoreLimit(uint64_t bytes) {
    pixelStoreLimit = bytes;
}

TRgbToPaletteConverter::TRgbToPaletteConverter(const TPalette& palette)
    : palette_(palette), cache_(CacheSlots) {}

int TRgbToPaletteConverter::NearestIndex(TColor color) {
    Slot& slot = cache_[color % CacheSlots];
    if (slot.index != -1 && slot.color == color) {
        ++hits_;
        return slot.index;
    }
    ++misses_;
    int r = (color >> 16) & 0xFF, g = (color >> 8) & 0xFF, b = color & 0xFF;
    int best = 0;
    int bestDistance = INT32_MAX;
    for (size_t i = 0; i < palette_.size(); ++i) {
        int dr = int((palette_[i] >> 16) & 0xFF) - r;
        int dg = int((palette_[i] >> 8) & 0xFF) - g;
        int db = int(palette_[i] & 0xFF) - b;
        int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = int(i);
            if (distance == 0) break;
        }
    }
    slot = {color, best};
    return best;
}

void TDibGraphic::FreeDeleter::operator()(uint8_t* p) const {
    std::free(p);
}

namespace {

// A zeroed pixel store. Small pictures come from calloc. A camera picture of tens of megabytes would
// take thousands of page faults while the decoder first writes it, which cost more than a quarter of
// a JPEG decode here; backed by 2 MB pages where the system allows it, it takes a few dozen.
uint8_t* AllocateZeroedPixels(uint64_t size) {
    if (size < 4 * kHugePage) return static_cast<uint8_t*>(std::calloc(size_t(size), 1));
    uint8_t* memory = AllocateOnHugePages(size_t(size));
    if (memory) std::memset(memory, 0, size_t(size));
    return memory;
}

} // namespace

TDibGraphic::TDibGraphic() = default;
TDibGraphic::~TDibGraphic() = default;

bool TDibGraphic::IsValidStream(ByteView) const {
    return false;
}
int TDibGraphic::ImageCount(ByteView) const {
    return 1;
}
void TDibGraphic::ReadImage(ByteView, int) {}

void TDibGraphic::WriteToStream(ByteBuffer&) {
    throw EImageError(FormatMessage("Writing is not supported for the %s class", {ClassName()}));
}

uint64_t CheckPixelStoreSize(int width, int height, TImageFormat format) {
    if (width < 1 || height < 1)
        throw EImageError("Invalid image dimensions " + std::to_string(width) + " x " +
                          std::to_string(height));
    uint64_t stride = (uint64_t(width) * BitsPerPixel(format) + 31) / 32 * 4;
    uint64_t size = stride * uint64_t(height);
    if (size > pixelStoreLimit)
        throw EImageError("Image of " + std::to_string(width) + " x " + std::to_string(height) +
                          " pixels is too large");
    return size;
}

void TDibGraphic::NewImage(int width, int height, TImageFormat format, const TPalette* palette, int xDpi,
                           int yDpi) {
    FreeImage();
    format = CheckedImageFormat(format);
    uint64_t size = CheckPixelStoreSize(width, height, format);
    uint64_t stride = size / uint64_t(height);
    pixels_.reset(AllocateZeroedPixels(size));
    if (!pixels_) throw EImageError("Out of resources");
    width_ = width;
    height_ = height;
    format_ = format;
    bytesPerRow_ = uint32_t(stride);
    if (format != ifRgb24) {
        palette_ = palette && !palette->empty() ? *palette : DefaultPalette(format);
        palette_.resize(size_t(1) << BitsPerPixel(format), 0);
        mapper_ = std::make_unique<TRgbToPaletteConverter>(palette_);
    }
    SetXDotsPerInch(xDpi == 0 ? ScreenDotsPerInch : xDpi);
    SetYDotsPerInch(yDpi == 0 ? ScreenDotsPerInch : yDpi);
    ChoosePixelAccess();
}

void TDibGraphic::FreeImage() {
    pixels_.reset();
    mapper_.reset();
    palette_.clear();
    width_ = height_ = 0;
    bytesPerRow_ = 0;
    xPelsPerMeter_ = yPelsPerMeter_ = 0;
    reader_ = nullptr;
    writer_ = nullptr;
}

void TDibGraphic::SetWidth(int) {
    throw EImageError("Dimensions must be change with the NewImage method");
}
void TDibGraphic::SetHeight(int) {
    throw EImageError("Dimensions must be change with the NewImage method");
}

int TDibGraphic::XDotsPerInch() const {
    return int(Round(xPelsPerMeter_ / InchesPerMetre));
}
int TDibGraphic::YDotsPerInch() const {
    return int(Round(yPelsPerMeter_ / InchesPerMetre));
}
void TDibGraphic::SetXDotsPerInch(int dpi) {
    xPelsPerMeter_ = int32_t(Round(dpi * InchesPerMetre));
}
void TDibGraphic::SetYDotsPerInch(int dpi) {
    yPelsPerMeter_ = int32_t(Round(dpi * InchesPerMetre));
}

// The reader and writer are picked here once, so per-pixel access never asks for the format.
void TDibGraphic::ChoosePixelAccess() {
    switch (format_) {
    case ifBlackWhite:
        reader_ = [](const TDibGraphic& g, int x, int y) {
            return g.palette_[(g.ScanLine(y)[x >> 3] >> (7 - (x & 7))) & 1];
        };
        writer_ = [](TDibGraphic& g, int x, int y, TColor c) {
            g.WritePixelIndex(x, y, g.mapper_->NearestIndex(c));
        };
        break;
    case ifGray16:
    case ifColor16:
        reader_ = [](const TDibGraphic& g, int x, int y) {
            uint8_t byte = g.ScanLine(y)[x >> 1];
            return g.palette_[(x & 1) ? (byte & 0x0F) : (byte >> 4)];
        };
        writer_ = [](TDibGraphic& g, int x, int y, TColor c) {
            g.WritePixelIndex(x, y, g.mapper_->NearestIndex(c));
        };
        break;
    case ifGray256:
    case ifColor256:
        reader_ = [](const TDibGraphic& g, int x, int y) { return g.palette_[g.ScanLine(y)[x]]; };
        writer_ = [](TDibGraphic& g, int x, int y, TColor c) {
            g.ScanLine(y)[x] = uint8_t(g.mapper_->NearestIndex(c));
        };
        break;
    case ifRgb24:
        reader_ = [](const TDibGraphic& g, int x, int y) {
            const uint8_t* p = g.ScanLine(y) + 3 * x;
            return TColor(p[0]) | TColor(p[1]) << 8 | TColor(p[2]) << 16;
        };
        writer_ = [](TDibGraphic& g, int x, int y, TColor c) {
            uint8_t* p = g.ScanLine(y) + 3 * x;
            p[0] = uint8_t(c);
            p[1] = uint8_t(c >> 8);
            p[2] = uint8_t(c >> 16);
        };
        break;
    }
}

int TDibGraphic::ReadPixelIndex(int x, int y) const {
    const uint8_t* row = ScanLine(y);
    switch (format_) {
    case ifBlackWhite:
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case ifGray16:
    case ifColor16:
        return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    case ifGray256:
    case ifColor256:
        return row[x];
    case ifRgb24:
        break;
    }
    throw EImageError("The image does not have a palette");
}

void TDibGraphic::WritePixelIndex(int x, int y, int index) {
    uint8_t* row = ScanLine(y);
    switch (format_) {
    case ifBlackWhite: {
        uint8_t bit = uint8_t(0x80 >> (x & 7));
        row[x >> 3] = index > 0 ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit);
        return;
    }
    case ifGray16:
    case ifColor16: {
        uint8_t& byte = row[x >> 1];
        byte =
            (x & 1) ? uint8_t((byte & 0xF0) | (index & 0x0F)) : uint8_t((byte & 0x0F) | (index & 0x0F) << 4);
        return;
    }
    case ifGray256:
    case ifColor256:
        row[x] = uint8_t(index);
        return;
    case ifRgb24:
        break;
    }
    throw EImageError("The image does not have a palette");
}

int TDibGraphic::NearestIndex(TColor color) {
    if (!mapper_) throw EImageError("The image does not have a palette");
    return mapper_->NearestIndex(color);
}

void TDibGraphic::CopyFromGraphic(const TDibGraphic* source) {
    if (source == this) return;
    FreeImage();
    if (!source || source->IsEmpty()) return;
    NewImage(source->width_, source->height_, source->format_, &source->palette_, 0, 0);
    xPelsPerMeter_ = source->xPelsPerMeter_;
    yPelsPerMeter_ = source->yPelsPerMeter_;
    FrameDelay = source->FrameDelay;
    std::memcpy(pixels_.get(), source->pixels_.get(), ImageSize());
}

void TDibGraphic::TakeImageFrom(TDibGraphic& source) {
    if (&source == this) return;
    FreeImage();
    pixels_ = std::move(source.pixels_);
    width_ = source.width_;
    height_ = source.height_;
    format_ = source.format_;
    bytesPerRow_ = source.bytesPerRow_;
    xPelsPerMeter_ = source.xPelsPerMeter_;
    yPelsPerMeter_ = source.yPelsPerMeter_;
    palette_ = std::move(source.palette_);
    mapper_ = std::move(source.mapper_);
    FrameDelay = source.FrameDelay;
    source.FreeImage();
    if (pixels_) ChoosePixelAccess();
}

void TDibGraphic::ReadFromStream(ByteView data) {
    ReadImage(data, ImageIndexToRead);
}

// Mapped rather than read, so that memory follows the picture and not the length of the file.
void TDibGraphic::ReadFromFile(const std::filesystem::path& name) {
    TMappedFile file(name);
    ReadFromStream(file.Bytes());
}

void TDibGraphic::WriteToFile(const std::filesystem::path& name) {
    ByteBuffer out;
    WriteToStream(out);
    WriteFileAtomic(name, std::string_view(reinterpret_cast<const char*>(out.data()), out.size()));
}

} // namespace vistrel
