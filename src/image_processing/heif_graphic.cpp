#include "image_processing/heif_graphic.h"

#include "image_processing/alpha_rows.h"
#include "image_processing/color_management.h"
#include "image_processing/heif_library.h"
#include "image_processing/hevc_decoder.h"
#include "image_processing/mapped_file.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

namespace vistrel {

namespace {

// libheif answers every call with a heif_error instead of calling back; this is the one place that
// turns one into the exception, with libheif's own text.
void Check(heif_error error) {
    if (error.code == heif_error_Ok) return;
    if (error.code == heif_error_Memory_allocation_error) throw EImageError("Out of resources");
    throw EImageError(std::string("HEIF file is not valid or corrupted: ") +
                      (error.message ? error.message : "unknown error"));
}

struct ContextDeleter {
    void operator()(heif_context* context) const { Heif().heif_context_free(context); }
};
struct HandleDeleter {
    void operator()(heif_image_handle* handle) const { Heif().heif_image_handle_release(handle); }
};
struct ImageDeleter {
    void operator()(heif_image* image) const { Heif().heif_image_release(image); }
};
struct OptionsDeleter {
    void operator()(heif_decoding_options* options) const { Heif().heif_decoding_options_free(options); }
};

// libheif refuses pictures wider or higher than this before it decodes a tile: twice the side of
// the largest square our pixel store could take, so a hostile header cannot ask for more while a
// long panorama still passes (its area is checked against the limit next).
int MaximumSide() {
    double side = std::sqrt(double(PixelStoreLimit()) / 3.0) * 2.0;
    return int(std::clamp(side, 64.0, double(1 << 20)));
}

// Both our store and libheif's interleaved buffer (up to 8 bytes a pixel) must fit the limit.
void CheckDecodeSize(int width, int height, int bytesPerPixel) {
    CheckPixelStoreSize(width, height, ifRgb24);
    if (uint64_t(width) * uint64_t(height) * uint64_t(bytesPerPixel) > PixelStoreLimit())
        throw EImageError("Image of " + std::to_string(width) + " x " + std::to_string(height) +
                          " pixels is too large");
}

// 8-bit pictures without alpha come as three planes: libheif's conversion to interleaved rows took
// an extra pass over the picture (about a tenth of a 12 MP decode) for the same values.
heif_chroma ChromaFor(bool deep, bool alpha) {
    if (deep) return alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE;
    return alpha ? heif_chroma_interleaved_RGBA : heif_chroma_444;
}

// An ICC profile ("prof" or "rICC") when there is one, else the nclx code points.
TEmbeddedColor EmbeddedColor(const heif_image_handle* handle) {
    TEmbeddedColor color;
    heif_color_profile_type type = Heif().heif_image_handle_get_color_profile_type(handle);
    if (type == heif_color_profile_type_prof || type == heif_color_profile_type_rICC) {
        color.icc.resize(Heif().heif_image_handle_get_raw_color_profile_size(handle));
        if (color.icc.empty() ||
            Heif().heif_image_handle_get_raw_color_profile(handle, color.icc.data()).code)
            color.icc.clear();
        return color;
    }
    heif_color_profile_nclx* nclx = nullptr;
    // libheif may hand out the profile together with an error (unknown code points): freed either way.
    if (Heif().heif_image_handle_get_nclx_color_profile(handle, &nclx).code != heif_error_Ok || !nclx) {
        Heif().heif_nclx_color_profile_free(nclx);
        return color;
    }
    color.nclx = TNclxColor{int(nclx->color_primaries),  int(nclx->transfer_characteristics),
                            nclx->color_primary_red_x,   nclx->color_primary_red_y,
                            nclx->color_primary_green_x, nclx->color_primary_green_y,
                            nclx->color_primary_blue_x,  nclx->color_primary_blue_y,
                            nclx->color_primary_white_x, nclx->color_primary_white_y};
    Heif().heif_nclx_color_profile_free(nclx);
    return color;
}

// Without libheif no file is taken for HEIF, so the other readers and the usual message apply.
bool IsHeif(ByteView data) {
    const THeifLibrary* heif = HeifIfInstalled();
    return heif && data.size() >= 12 &&
           heif->heif_check_filetype(data.data(), int(std::min<size_t>(data.size(), 1 << 20))) ==
               heif_filetype_yes_supported;
}

// The decoded primary image as libheif hands it out, interleaved or (8 bits, no alpha) as red,
// green and blue planes, and what its rows need.
struct TDecodedHeif {
    std::unique_ptr<heif_context, ContextDeleter> context;
    std::unique_ptr<heif_image_handle, HandleDeleter> handle;
    std::unique_ptr<heif_image, ImageDeleter> image;
    const uint8_t* plane = nullptr;
    int stride = 0;
    bool planar = false;
    const uint8_t* planes[3] = {};
    int strides[3] = {};
    int width = 0;
    int height = 0;
    int bits = 8;
    bool deep = false;
    bool alpha = false;

    // Row y as blue, green, red bytes.
    void ConvertRow(int y, uint8_t* out) const {
        if (planar)
            return InterleaveRgbPlanesToBgr(planes[0] + size_t(y) * size_t(strides[0]),
                                            planes[1] + size_t(y) * size_t(strides[1]),
                                            planes[2] + size_t(y) * size_t(strides[2]), out, width);
        const uint8_t* in = plane + size_t(y) * size_t(stride);
        if (deep)
            ReduceRgb16ToBgr(reinterpret_cast<const uint16_t*>(in), out, width, bits, alpha);
        else if (alpha)
            ComposeRgbaOverBlack(in, out, width);
        else
            SwapRgbToBgr(in, out, width);
    }
};

// The three planes must be 8 bits and as large as the picture.
void TakePlanes(heif_image* image, TDecodedHeif& decoded) {
    const heif_channel channels[3] = {heif_channel_R, heif_channel_G, heif_channel_B};
    decoded.width = Heif().heif_image_get_width(image, heif_channel_R);
    decoded.height = Heif().heif_image_get_height(image, heif_channel_R);
    if (decoded.width < 1 || decoded.height < 1) throw EImageError("HEIF file is not valid or corrupted");
    for (int c = 0; c < 3; ++c) {
        decoded.planes[c] = Heif().heif_image_get_plane_readonly(image, channels[c], &decoded.strides[c]);
        if (!decoded.planes[c] || Heif().heif_image_get_width(image, channels[c]) != decoded.width ||
            Heif().heif_image_get_height(image, channels[c]) != decoded.height ||
            Heif().heif_image_get_bits_per_pixel_range(image, channels[c]) != 8)
            throw EImageError("HEIF file is not valid or corrupted");
    }
}

// `progress` hears 10 once the file is read and 80 once it is decoded.
void DecodePrimaryImage(ByteView data, TDecodedHeif& decoded, const std::function<void(uint8_t)>& progress) {
    if (!IsHeif(data)) throw EImageError("HEIF file is not valid or corrupted");
    RegisterThreadedHevcDecoder();
    decoded.context.reset(Heif().heif_context_alloc());
    if (!decoded.context) throw EImageError("Out of resources");
    heif_context* context = decoded.context.get();
    Heif().heif_context_set_maximum_image_size_limit(context, MaximumSide());
    Check(Heif().heif_context_read_from_memory_without_copy(context, data.data(), data.size(), nullptr));
    heif_image_handle* rawHandle = nullptr;
    Check(Heif().heif_context_get_primary_image_handle(context, &rawHandle));
    decoded.handle.reset(rawHandle);
    heif_image_handle* handle = rawHandle;
    decoded.alpha = Heif().heif_image_handle_has_alpha_channel(handle) != 0;
    decoded.deep = Heif().heif_image_handle_get_luma_bits_per_pixel(handle) > 8;
    int channels = decoded.alpha ? 4 : 3;
    CheckDecodeSize(Heif().heif_image_handle_get_width(handle), Heif().heif_image_handle_get_height(handle),
                    channels * (decoded.deep ? 2 : 1));
    progress(10);
    std::unique_ptr<heif_decoding_options, OptionsDeleter> options(Heif().heif_decoding_options_alloc());
    heif_image* rawImage = nullptr;
    Check(Heif().heif_decode_image(handle, &rawImage, heif_colorspace_RGB,
                                   ChromaFor(decoded.deep, decoded.alpha), options.get()));
    decoded.image.reset(rawImage);
    progress(80);
    heif_image* image = rawImage;
    decoded.planar = !decoded.deep && !decoded.alpha;
    if (decoded.planar) return TakePlanes(image, decoded);
    decoded.plane = Heif().heif_image_get_plane_readonly(image, heif_channel_interleaved, &decoded.stride);
    decoded.width = Heif().heif_image_get_width(image, heif_channel_interleaved);
    decoded.height = Heif().heif_image_get_height(image, heif_channel_interleaved);
    if (!decoded.plane || decoded.width < 1 || decoded.height < 1)
        throw EImageError("HEIF file is not valid or corrupted");
    decoded.bits = Heif().heif_image_get_bits_per_pixel_range(image, heif_channel_interleaved);
}

} // namespace

bool THeifGraphic::IsValidStream(ByteView data) const {
    return IsHeif(data);
}

void THeifGraphic::ReadImage(ByteView data, int) {
    Progress(0);
    FreeImage();
    TDecodedHeif decoded;
    DecodePrimaryImage(data, decoded, [this](uint8_t percent) { Progress(percent); });
    NewImage(decoded.width, decoded.height, ifRgb24);
    for (int y = 0; y < decoded.height; ++y)
        decoded.ConvertRow(y, ScanLine(y));
    ConvertToSrgb(*this, EmbeddedColor(decoded.handle.get()));
    Progress(100);
}

// The rows go to the sink as they are converted, so no second copy of the picture is made; the
// colours are converted row by row with the same converter as a whole picture's, here or by the
// sink.
void DecodeHeifFile(const std::filesystem::path& file, TJpegRowSink& sink) {
    TMappedFile mapped(file);
    TDecodedHeif decoded;
    DecodePrimaryImage(mapped.Bytes(), decoded, [](uint8_t) {});
    std::unique_ptr<TColorConverter> converter = TColorConverter::ForBgr(EmbeddedColor(decoded.handle.get()));
    if (converter) sink.TakeColorConverter(converter);
    sink.Begin(TJpegHeader{decoded.width, decoded.height, ifRgb24, 0, 0});
    constexpr int kRowsPerCall = 16;
    uint8_t* rows[kRowsPerCall];
    for (int first = 0; first < decoded.height; first += kRowsPerCall) {
        int count = std::min(kRowsPerCall, decoded.height - first);
        sink.RowsFor(first, count, rows);
        for (int k = 0; k < count; ++k) {
            decoded.ConvertRow(first + k, rows[k]);
            if (converter) converter->Convert(rows[k], rows[k], decoded.width);
        }
        sink.RowsDone(first, count);
    }
}

} // namespace vistrel
