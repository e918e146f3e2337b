#include "image_processing/tiff_graphic.h"

#include "image_processing/color_management.h"

#include <cstdarg>
#include <cstring>
#include <memory>
#include <tiffio.h>
#include <vector>

namespace vistrel {

namespace {

// A file in memory as libtiff's client I/O sees it; writing grows the buffer.
struct MemoryFile {
    ByteView input;
    ByteBuffer* output = nullptr;
    toff_t pos = 0;
    std::string error{};

    toff_t Size() const { return output ? output->size() : input.size(); }
};

tmsize_t ReadProc(thandle_t h, void* buffer, tmsize_t size) {
    auto* f = static_cast<MemoryFile*>(h);
    if (f->output || size < 0 || f->pos >= f->input.size()) return 0;
    size_t count = std::min<size_t>(size_t(size), f->input.size() - f->pos);
    std::memcpy(buffer, f->input.data() + f->pos, count);
    f->pos += count;
    return tmsize_t(count);
}

tmsize_t WriteProc(thandle_t h, void* buffer, tmsize_t size) {
    auto* f = static_cast<MemoryFile*>(h);
    if (!f->output || size < 0) return 0;
    if (f->pos + size_t(size) > f->output->size()) f->output->resize(f->pos + size_t(size));
    std::memcpy(f->output->data() + f->pos, buffer, size_t(size));
    f->pos += size_t(size);
    return size;
}

toff_t SeekProc(thandle_t h, toff_t offset, int whence) {
    auto* f = static_cast<MemoryFile*>(h);
    toff_t base = whence == SEEK_CUR ? f->pos : whence == SEEK_END ? f->Size() : 0;
    toff_t target = base + offset;
    // libtiff may seek beyond the end while writing; reading there simply finds nothing.
    if (target > (toff_t(1) << 40)) return toff_t(-1);
    f->pos = target;
    return target;
}

int CloseProc(thandle_t) {
    return 0;
}
toff_t SizeProc(thandle_t h) {
    return static_cast<MemoryFile*>(h)->Size();
}
int MapProc(thandle_t, void**, toff_t*) {
    return 0;
}
void UnmapProc(thandle_t, void*, toff_t) {}

// The one place libtiff's messages arrive: errors are kept for the exception, warnings dropped.
int OnTiffError(TIFF*, void* user, const char* module, const char* format, va_list args) {
    auto* f = static_cast<MemoryFile*>(user);
    if (f->error.empty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        f->error = std::string(module ? module : "TIFF") + ": " + text;
    }
    return 1;
}

int OnTiffWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

TiffHandle Open(MemoryFile& file, const char* mode) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, OnTiffError, &file);
    TIFFOpenOptionsSetWarningHandlerExtR(options, OnTiffWarning, &file);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(PixelStoreLimit()));
    TIFF* tif = TIFFClientOpenExt("memory", mode, &file, ReadProc, WriteProc, SeekProc, CloseProc, SizeProc,
                                  MapProc, UnmapProc, options);
    TIFFOpenOptionsFree(options);
    return TiffHandle(tif);
}

[[noreturn]] void Fail(const MemoryFile& file, const char* fallback) {
    throw EImageError(file.error.empty() ? fallback : file.error);
}

int Resolution(TIFF* tif, ttag_t tag) {
    float value = 0;
    uint16_t unit = RESUNIT_INCH;
    if (!TIFFGetField(tif, tag, &value) || !(value > 0 && value < 65536)) return 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (unit == RESUNIT_CENTIMETER) return int(value * 2.54f + 0.5f);
    return unit == RESUNIT_INCH ? int(value + 0.5f) : 0;
}

// The ICC profile of an RGB or gray directory. CMYK and other layouts are left to libtiff's own
// conversion, which does not take a profile.
TEmbeddedColor EmbeddedColor(TIFF* tif, uint16_t photometric) {
    uint32_t length = 0;
    void* profile = nullptr;
    bool usable = photometric == PHOTOMETRIC_RGB || photometric == PHOTOMETRIC_YCBCR ||
                  photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
    if (!usable || !TIFFGetField(tif, TIFFTAG_ICCPROFILE, &length, &profile) || !profile) return {};
    const uint8_t* bytes = static_cast<const uint8_t*>(profile);
    return {ByteBuffer(bytes, bytes + length), std::nullopt};
}

} // namespace

bool TTiffGraphic::IsValidStream(ByteView data) const {
    return data.size() >= 4 &&
           ((data[0] == 'I' && data[1] == 'I' && (data[2] == 42 || data[2] == 43) && data[3] == 0) ||
            (data[0] == 'M' && data[1] == 'M' && data[2] == 0 && (data[3] == 42 || data[3] == 43)));
}

int TTiffGraphic::ImageCount(ByteView data) const {
    MemoryFile file{data};
    TiffHandle tif = Open(file, "rm");
    return tif ? std::max(1, int(TIFFNumberOfDirectories(tif.get()))) : 1;
}

void TTiffGraphic::ReadImage(ByteView data, int index) {
    Progress(0);
    FreeImage();
    if (!IsValidStream(data)) throw EImageError("Not a valid TIFF file");
    MemoryFile file{data};
    TiffHandle tif = Open(file, "rm");
    if (!tif) Fail(file, "TIFF file is not valid or corrupted");
    if (index > 1 && !TIFFSetDirectory(tif.get(), tdir_t(index - 1))) Fail(file, "TIFF image does not exist");
    uint32_t width = 0, height = 0;
    uint16_t samples = 1, photometric = PHOTOMETRIC_RGB;
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric);
    if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX)
        Fail(file, "TIFF file is not valid or corrupted");
    // libtiff's RGBA raster needs 4 bytes a pixel beside our store: both are checked against the limit.
    if (uint64_t(width) * height * 4 > PixelStoreLimit()) throw EImageError("TIFF image is too large");
    bool gray =
        samples == 1 && (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE);
    NewImage(int(width), int(height), gray ? ifGray256 : ifRgb24, nullptr,
             Resolution(tif.get(), TIFFTAG_XRESOLUTION), Resolution(tif.get(), TIFFTAG_YRESOLUTION));
    std::vector<uint32_t> raster(size_t(width) * height);
    if (!TIFFReadRGBAImageOriented(tif.get(), width, height, raster.data(), ORIENTATION_TOPLEFT, 0)) {
        FreeImage();
        Fail(file, "TIFF file is not valid or corrupted");
    }
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = ScanLine(int(y));
        const uint32_t* in = raster.data() + size_t(y) * width;
        for (uint32_t x = 0; x < width; ++x) {
            // Colours come premultiplied by alpha from libtiff, which composes them on black.
            if (gray) {
                row[x] = uint8_t(TIFFGetR(in[x]));
            } else {
                row[3 * x] = uint8_t(TIFFGetB(in[x]));
                row[3 * x + 1] = uint8_t(TIFFGetG(in[x]));
                row[3 * x + 2] = uint8_t(TIFFGetR(in[x]));
            }
        }
    }
    ConvertToSrgb(*this, EmbeddedColor(tif.get(), photometric));
    Progress(100);
}

void TTiffGraphic::WriteToStream(ByteBuffer& out) {
    Progress(0);
    if (IsEmpty()) throw EImageError("The image is empty");
    out.clear();
    MemoryFile file{ByteView(), &out};
    TiffHandle tif = Open(file, "w");
    if (!tif) Fail(file, "Cannot write TIFF file");
    TIFF* t = tif.get();
    TImageFormat format = ImageFormat();
    bool rgb = format == ifRgb24, gray = format == ifGray256;
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(Width()));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(Height()));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, uint16_t(rgb ? 3 : 1));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(rgb ? 8 : BitsPerPixel(format)));
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC,
                 rgb    ? PHOTOMETRIC_RGB
                 : gray ? PHOTOMETRIC_MINISBLACK
                        : PHOTOMETRIC_PALETTE);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, uint32_t(std::max(1, 65536 / int(BytesPerRow()))));
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(t, TIFFTAG_XRESOLUTION, float(XDotsPerInch()));
    TIFFSetField(t, TIFFTAG_YRESOLUTION, float(YDotsPerInch()));
    std::vector<uint16_t> red, green, blue;
    if (!rgb && !gray) {
        size_t entries = size_t(1) << BitsPerPixel(format);
        for (size_t i = 0; i < entries; ++i) {
            TColor c = i < Palette().size() ? Palette()[i] : 0;
            red.push_back(uint16_t(((c >> 16) & 0xFF) * 257));
            green.push_back(uint16_t(((c >> 8) & 0xFF) * 257));
            blue.push_back(uint16_t((c & 0xFF) * 257));
        }
        TIFFSetField(t, TIFFTAG_COLORMAP, red.data(), green.data(), blue.data());
    }
    std::vector<uint8_t> row(BytesPerRow());
    for (int y = 0; y < Height(); ++y) {
        std::memcpy(row.data(), ScanLine(y), row.size());
        if (rgb)
            for (int x = 0; x < Width(); ++x)
                std::swap(row[3 * x], row[3 * x + 2]);
        if (TIFFWriteScanline(t, row.data(), uint32_t(y), 0) < 0) Fail(file, "Cannot write TIFF file");
    }
    tif.reset();
    if (!file.error.empty()) Fail(file, "Cannot write TIFF file");
    Progress(100);
}

} // namespace vistrel
