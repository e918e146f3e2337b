#include "image_processing/heif_graphic.h"

#include "image_processing/alpha_rows.h"
#include "image_processing/color_management.h"

#include <algorithm>
#include <cmath>
#include <libheif/heif.h>
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
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleDeleter {
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageDeleter {
    void operator()(heif_image* image) const { heif_image_release(image); }
};
struct OptionsDeleter {
    void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
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

heif_chroma ChromaFor(bool deep, bool alpha) {
    if (deep) return alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE;
    return alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB;
}

// An ICC profile ("prof" or "rICC") when there is one, else the nclx code points.
TEmbeddedColor EmbeddedColor(const heif_image_handle* handle) {
    TEmbeddedColor color;
    heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
    if (type == heif_color_profile_type_prof || type == heif_color_profile_type_rICC) {
        color.icc.resize(heif_image_handle_get_raw_color_profile_size(handle));
        if (color.icc.empty() || heif_image_handle_get_raw_color_profile(handle, color.icc.data()).code)
            color.icc.clear();
        return color;
    }
    heif_color_profile_nclx* nclx = nullptr;
    // libheif may hand out the profile together with an error (unknown code points): freed either way.
    if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code != heif_error_Ok || !nclx) {
        heif_nclx_color_profile_free(nclx);
        return color;
    }
    color.nclx = TNclxColor{int(nclx->color_primaries),  int(nclx->transfer_characteristics),
                            nclx->color_primary_red_x,   nclx->color_primary_red_y,
                            nclx->color_primary_green_x, nclx->color_primary_green_y,
                            nclx->color_primary_blue_x,  nclx->color_primary_blue_y,
                            nclx->color_primary_white_x, nclx->color_primary_white_y};
    heif_nclx_color_profile_free(nclx);
    return color;
}

} // namespace

bool THeifGraphic::IsValidStream(ByteView data) const {
    return data.size() >= 12 &&
           heif_check_filetype(data.data(), int(std::min<size_t>(data.size(), 1 << 20))) ==
               heif_filetype_yes_supported;
}

void THeifGraphic::ReadImage(ByteView data, int) {
    Progress(0);
    FreeImage();
    if (!IsValidStream(data)) throw EImageError("HEIF file is not valid or corrupted");
    std::unique_ptr<heif_context, ContextDeleter> context(heif_context_alloc());
    if (!context) throw EImageError("Out of resources");
    heif_context_set_maximum_image_size_limit(context.get(), MaximumSide());
    Check(heif_context_read_from_memory_without_copy(context.get(), data.data(), data.size(), nullptr));
    heif_image_handle* rawHandle = nullptr;
    Check(heif_context_get_primary_image_handle(context.get(), &rawHandle));
    std::unique_ptr<heif_image_handle, HandleDeleter> handle(rawHandle);
    bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
    bool deep = heif_image_handle_get_luma_bits_per_pixel(handle.get()) > 8;
    int channels = alpha ? 4 : 3;
    CheckDecodeSize(heif_image_handle_get_width(handle.get()), heif_image_handle_get_height(handle.get()),
                    channels * (deep ? 2 : 1));
    Progress(10);
    std::unique_ptr<heif_decoding_options, OptionsDeleter> options(heif_decoding_options_alloc());
    heif_image* rawImage = nullptr;
    Check(heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB, ChromaFor(deep, alpha),
                            options.get()));
    std::unique_ptr<heif_image, ImageDeleter> image(rawImage);
    Progress(80);
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    int width = heif_image_get_width(image.get(), heif_channel_interleaved);
    int height = heif_image_get_height(image.get(), heif_channel_interleaved);
    if (!plane || width < 1 || height < 1) throw EImageError("HEIF file is not valid or corrupted");
    int bits = heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved);
    NewImage(width, height, ifRgb24);
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = plane + size_t(y) * size_t(stride);
        uint8_t* out = ScanLine(y);
        if (deep)
            ReduceRgb16ToBgr(reinterpret_cast<const uint16_t*>(in), out, width, bits, alpha);
        else if (alpha)
            ComposeRgbaOverBlack(in, out, width);
        else
            SwapRgbToBgr(in, out, width);
    }
    ConvertToSrgb(*this, EmbeddedColor(handle.get()));
    Progress(100);
}

} // namespace vistrel
