#include "image_processing/png_graphic.h"

#include "image_processing/color_management.h"

#include <csetjmp>
#include <cstring>
#include <png.h>
#include <vector>

namespace vistrel {

namespace {

// libpng reports fatal errors through this one callback; it keeps the text and jumps back into the
// frame that called libpng, which throws from there (never through libpng's C frames).
struct PngErrorState {
    char message[256];
};

void OnPngError(png_structp png, png_const_charp text) {
    auto* state = static_cast<PngErrorState*>(png_get_error_ptr(png));
    std::snprintf(state->message, sizeof state->message, "%s", text);
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

struct MemorySource {
    ByteView data;
    size_t pos = 0;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* source = static_cast<MemorySource*>(png_get_io_ptr(png));
    if (length > source->data.size() - source->pos) png_error(png, "PNG file is not valid or corrupted");
    std::memcpy(out, source->data.data() + source->pos, length);
    source->pos += length;
}

void WriteToMemory(png_structp png, png_bytep in, png_size_t length) {
    auto* out = static_cast<ByteBuffer*>(png_get_io_ptr(png));
    out->insert(out->end(), in, in + length);
}

void FlushMemory(png_structp) {}

struct ReadGuard {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~ReadGuard() { png_destroy_read_struct(&png, &info, nullptr); }
};

struct WriteGuard {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~WriteGuard() { png_destroy_write_struct(&png, &info); }
};

// An iCCP chunk's profile, which the picture is converted with after decoding.
ByteBuffer EmbeddedProfile(png_structp png, png_infop info) {
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 length = 0;
    if (!png_get_iCCP(png, info, &name, &compression, &profile, &length) || !profile) return {};
    return ByteBuffer(profile, profile + length);
}

// Ask libpng for 8-bit gray or blue-green-red, with transparency composed away and the gAMA rule.
// An embedded profile describes the colours in full and takes the gAMA chunk's place.
bool SetUpTransformations(png_structp png, png_infop info, bool hasProfile) {
    int colorType = png_get_color_type(png, info);
    int bitDepth = png_get_bit_depth(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_color_16p fileBackground = nullptr;
    bool hasAlpha = (colorType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
    if (hasAlpha) {
        if (png_get_bKGD(png, info, &fileBackground)) {
            png_set_background(png, fileBackground, PNG_BACKGROUND_GAMMA_FILE, 1, 1.0);
        } else {
            png_color_16 black{};
            png_set_background(png, &black, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
        }
    }
    double fileGamma = 0;
    if (!hasProfile && bitDepth > 2 && png_get_gAMA(png, info, &fileGamma) &&
        !png_get_valid(png, info, PNG_INFO_sRGB))
        png_set_gamma(png, 2.0, fileGamma);
    bool gray = !(colorType & PNG_COLOR_MASK_COLOR);
    if (!gray) png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return gray;
}

int DotsPerInch(png_structp png, png_infop info, bool horizontal) {
    png_uint_32 x = 0, y = 0;
    int unit = 0;
    if (!png_get_pHYs(png, info, &x, &y, &unit) || unit != PNG_RESOLUTION_METER) return 0;
    return int(((horizontal ? x : y) * 254 + 5000) / 10000);
}

} // namespace

bool TPngGraphic::IsValidStream(ByteView data) const {
    return data.size() >= 8 && png_sig_cmp(data.data(), 0, 8) == 0;
}

void TPngGraphic::ReadImage(ByteView data, int) {
    Progress(0);
    FreeImage();
    if (!IsValidStream(data)) throw EImageError("PNG file is not valid or corrupted");
    PngErrorState errors{};
    MemorySource source{data};
    std::vector<png_bytep> rows;
    TEmbeddedColor color;
    ReadGuard guard;
    guard.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &errors, OnPngError, OnPngWarning);
    if (!guard.png) throw EImageError("Out of resources");
    guard.info = png_create_info_struct(guard.png);
    if (!guard.info) throw EImageError("Out of resources");
    // Text chunks are not needed; keep a hostile compressed one from growing without bound.
    png_set_chunk_malloc_max(guard.png, 8 << 20);
    // Nothing with a destructor may be created below this point in this frame: a longjmp skips it.
    if (setjmp(png_jmpbuf(guard.png))) {
        FreeImage();
        throw EImageError(errors.message);
    }
    png_set_read_fn(guard.png, &source, ReadFromMemory);
    png_read_info(guard.png, guard.info);
    color.icc = EmbeddedProfile(guard.png, guard.info);
    bool gray = SetUpTransformations(guard.png, guard.info, !color.icc.empty());
    int width = int(png_get_image_width(guard.png, guard.info));
    int height = int(png_get_image_height(guard.png, guard.info));
    NewImage(width, height, gray ? ifGray256 : ifRgb24, nullptr, DotsPerInch(guard.png, guard.info, true),
             DotsPerInch(guard.png, guard.info, false));
    if (png_get_rowbytes(guard.png, guard.info) > BytesPerRow()) png_error(guard.png, "Invalid bit depth");
    rows.resize(size_t(height));
    for (int y = 0; y < height; ++y)
        rows[size_t(y)] = ScanLine(y);
    png_read_image(guard.png, rows.data());
    png_read_end(guard.png, nullptr);
    ConvertToSrgb(*this, color);
    Progress(100);
}

void TPngGraphic::WriteToStream(ByteBuffer& out) {
    Progress(0);
    if (IsEmpty()) throw EImageError("The image is empty");
    out.clear();
    PngErrorState errors{};
    std::vector<png_color> palette;
    std::vector<png_bytep> rows{size_t(Height()), nullptr};
    for (int y = 0; y < Height(); ++y)
        rows[size_t(y)] = ScanLine(y);
    for (TColor c : Palette())
        palette.push_back({png_byte(c >> 16), png_byte(c >> 8), png_byte(c)});
    WriteGuard guard;
    guard.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &errors, OnPngError, OnPngWarning);
    if (!guard.png) throw EImageError("Out of resources");
    guard.info = png_create_info_struct(guard.png);
    if (!guard.info) throw EImageError("Out of resources");
    if (setjmp(png_jmpbuf(guard.png))) throw EImageError(errors.message);
    png_set_write_fn(guard.png, &out, WriteToMemory, FlushMemory);
    bool rgb = ImageFormat() == ifRgb24;
    png_set_IHDR(guard.png, guard.info, png_uint_32(Width()), png_uint_32(Height()),
                 rgb ? 8 : BitsPerPixel(ImageFormat()), rgb ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_PALETTE,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!rgb) png_set_PLTE(guard.png, guard.info, palette.data(), int(palette.size()));
    png_set_pHYs(guard.png, guard.info, png_uint_32(XPelsPerMeter()), png_uint_32(YPelsPerMeter()),
                 PNG_RESOLUTION_METER);
    png_write_info(guard.png, guard.info);
    if (rgb) png_set_bgr(guard.png);
    png_write_image(guard.png, rows.data());
    png_write_end(guard.png, nullptr);
    Progress(100);
}

} // namespace vistrel
