#pragma once
#include "image_processing/image_error.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vistrel {

using ByteView = std::span<const uint8_t>;
using ByteBuffer = std::vector<uint8_t>;

enum TImageFormat : uint8_t { ifBlackWhite, ifGray16, ifGray256, ifColor16, ifColor256, ifRgb24 };

// A colour is 0x00RRGGBB; a palette is a list of such values.
using TColor = uint32_t;
using TPalette = std::vector<TColor>;

// Progress in percent, 0 .. 100. The sender of the design is left out: a handler that needs to know
// who reports captures it.
using TImageProgressEvent = std::function<void(uint8_t percentProgress)>;

int BitsPerPixel(TImageFormat format);
// The palette a palette format takes when none is given; empty for ifRgb24.
const TPalette& DefaultPalette(TImageFormat format);
// Throws "Internal error: Invalid image format" for values outside the six formats.
TImageFormat CheckedImageFormat(int value);

// The resolution given to NewImage as 0. There is no screen in the logic layer; 96 dpi is what the
// desktop reports almost everywhere.
constexpr int ScreenDotsPerInch = 96;

// No picture may need more pixel bytes than this; a larger request is refused before anything is
// allocated, so a hostile header cannot exhaust memory. Tests and fuzz harnesses may lower it.
uint64_t PixelStoreLimit();
void SetPixelStoreLimit(uint64_t bytes);
// The bytes a pixel store of that size would take; throws as NewImage does for a bad or too large
// size. For readers that check a declared size before they decode without a pixel store.
uint64_t CheckPixelStoreSize(int width, int height, TImageFormat format);

// Maps a colour to the nearest entry of a palette, with a small direct-mapped cache because pictures
// repeat colours far more often than not.
class TRgbToPaletteConverter {
public:
    explicit TRgbToPaletteConverter(const TPalette& palette);
    int NearestIndex(TColor color);
    uint64_t Hits() const { return hits_; }
    uint64_t Misses() const { return misses_; }

    static constexpr int CacheSlots = 1020;

private:
    struct Slot {
        TColor color = 0;
        int index = -1;
    };
    TPalette palette_;
    std::vector<Slot> cache_;
    uint64_t hits_ = 0;
    uint64_t misses_ = 0;
};

// The in-memory picture: a device-independent bitmap layout (rows bottom-up, each padded to 4 bytes,
// 24-bit pixels as blue, green, red) with palette and resolution. File classes derive from it.
class TDibGraphic {
public:
    TDibGraphic();
    virtual ~TDibGraphic();
    TDibGraphic(const TDibGraphic&) = delete;
    TDibGraphic& operator=(const TDibGraphic&) = delete;

    virtual std::string ClassName() const { return "TDibGraphic"; }
    // True when the bytes carry this format's signature.
    virtual bool IsValidStream(ByteView data) const;
    virtual int ImageCount(ByteView data) const;
    // Reads image `index` (1-based) of `data` into this object.
    virtual void ReadImage(ByteView data, int index);
    virtual void WriteToStream(ByteBuffer& out);

    void NewImage(int width, int height, TImageFormat format, const TPalette* palette = nullptr, int xDpi = 0,
                  int yDpi = 0);
    void FreeImage();
    bool IsEmpty() const { return !pixels_; }

    int Width() const { return width_; }
    int Height() const { return height_; }
    // Both raise "Dimensions must be change with the NewImage method".
    void SetWidth(int);
    void SetHeight(int);
    TImageFormat ImageFormat() const { return format_; }
    uint32_t BytesPerRow() const { return bytesPerRow_; }
    size_t ImageSize() const { return size_t(bytesPerRow_) * size_t(height_); }
    const TPalette& Palette() const { return palette_; }

    int XDotsPerInch() const;
    int YDotsPerInch() const;
    void SetXDotsPerInch(int dpi);
    void SetYDotsPerInch(int dpi);
    // Files that store pixels per metre keep their exact value this way.
    void SetPelsPerMeter(int32_t x, int32_t y) { xPelsPerMeter_ = x, yPelsPerMeter_ = y; }
    int32_t XPelsPerMeter() const { return xPelsPerMeter_; }
    int32_t YPelsPerMeter() const { return yPelsPerMeter_; }

    // Row y counted from the top.
    uint8_t* ScanLine(int y) { return pixels_.get() + size_t(height_ - 1 - y) * bytesPerRow_; }
    const uint8_t* ScanLine(int y) const { return pixels_.get() + size_t(height_ - 1 - y) * bytesPerRow_; }
    uint8_t* Pixels() { return pixels_.get(); }
    const uint8_t* Pixels() const { return pixels_.get(); }

    TColor ReadPixel(int x, int y) const { return reader_(*this, x, y); }
    void WritePixel(int x, int y, TColor color) { writer_(*this, x, y, color); }
    int ReadPixelIndex(int x, int y) const;
    void WritePixelIndex(int x, int y, int index);
    // The palette entry nearest to `color`; palette formats only.
    int NearestIndex(TColor color);

    void CopyFromGraphic(const TDibGraphic* source);
    // Moves the image (pixels, palette, resolution) out of `source`, which becomes empty; no copy.
    void TakeImageFrom(TDibGraphic& source);
    // A packed DIB (40-byte header, colour table, pixels), as a scanner hands it over.
    void LoadFromPackedDib(ByteView dib);

    void ReadFromStream(ByteView data);
    void ReadFromFile(const std::filesystem::path& name);
    // Replaces the file whole, through a temporary file, so a failed write keeps the old file.
    void WriteToFile(const std::filesystem::path& name);

    int ImageIndexToRead = 1;
    int FrameDelay = 200;
    TImageProgressEvent OnProgress;

protected:
    // Repeats of the last percent are dropped: a handler may redraw a window for every call.
    void Progress(uint8_t percent) {
        if (!OnProgress || (percent == lastPercent_ && percent != 0)) return;
        lastPercent_ = percent;
        OnProgress(percent);
    }

private:
    using PixelReader = TColor (*)(const TDibGraphic&, int, int);
    using PixelWriter = void (*)(TDibGraphic&, int, int, TColor);
    void ChoosePixelAccess();

    struct FreeDeleter {
        void operator()(uint8_t* p) const;
    };
    std::unique_ptr<uint8_t[], FreeDeleter> pixels_;
    int width_ = 0;
    int height_ = 0;
    TImageFormat format_ = ifRgb24;
    uint32_t bytesPerRow_ = 0;
    int32_t xPelsPerMeter_ = 0;
    int32_t yPelsPerMeter_ = 0;
    TPalette palette_;
    std::unique_ptr<TRgbToPaletteConverter> mapper_;
    PixelReader reader_ = nullptr;
    PixelWriter writer_ = nullptr;
    uint8_t lastPercent_ = 255;
};

} // namespace vistrel
