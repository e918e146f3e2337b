#include "image_processing/hevc_decoder.h"

#include "image_processing/dib_graphic.h"
#include "image_processing/heif_library.h"

#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <libde265/de265.h>
#include <libheif/heif_plugin.h>
#include <memory>
#include <thread>

#define VISTREL_DE265_FUNCTIONS(X)                                                                           \
    X(de265_new_decoder)                                                                                     \
    X(de265_start_worker_threads)                                                                            \
    X(de265_free_decoder)                                                                                    \
    X(de265_push_NAL)                                                                                        \
    X(de265_flush_data)                                                                                      \
    X(de265_decode)                                                                                          \
    X(de265_get_next_picture)                                                                                \
    X(de265_release_next_picture)                                                                            \
    X(de265_get_image_width)                                                                                 \
    X(de265_get_image_height)                                                                                \
    X(de265_get_chroma_format)                                                                               \
    X(de265_get_bits_per_pixel)                                                                              \
    X(de265_get_image_plane)                                                                                 \
    X(de265_get_image_colour_primaries)                                                                      \
    X(de265_get_image_transfer_characteristics)                                                              \
    X(de265_get_image_matrix_coefficients)                                                                   \
    X(de265_get_image_full_range_flag)                                                                       \
    X(de265_isOK)                                                                                            \
    X(de265_get_error_text)

namespace vistrel {

namespace {

struct TDe265Library {
#define VISTREL_DE265_POINTER(name) decltype(&::name) name = nullptr;
    VISTREL_DE265_FUNCTIONS(VISTREL_DE265_POINTER)
#undef VISTREL_DE265_POINTER
};

// The soname libheif itself is linked against, so it is loaded already once libheif is.
std::unique_ptr<TDe265Library> LoadDe265() {
    void* handle = ::dlopen("libde265.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!handle) return nullptr;
    auto library = std::make_unique<TDe265Library>();
    bool complete = true;
#define VISTREL_DE265_RESOLVE(name)                                                                          \
    library->name = reinterpret_cast<decltype(&::name)>(::dlsym(handle, #name));                             \
    complete = complete && library->name;
    VISTREL_DE265_FUNCTIONS(VISTREL_DE265_RESOLVE)
#undef VISTREL_DE265_RESOLVE
    return complete ? std::move(library) : nullptr;
}

const TDe265Library* de265 = nullptr;

// Compressed data from this size on is a whole picture rather than one tile of a grid, whose tiles
// libheif already decodes side by side: only such a picture gets worker threads of its own.
constexpr size_t kThreadedFrom = 256 * 1024;

struct TDecoder {
    de265_decoder_context* context = nullptr;
    size_t pushed = 0;
};

heif_error Ok() {
    return {heif_error_Ok, heif_suberror_Unspecified, "Success"};
}

// libheif keeps the message pointer: only texts with static storage.
heif_error Failed(const char* message) {
    return {heif_error_Decoder_plugin_error, heif_suberror_Unspecified, message};
}

const char* PluginName() {
    return "libde265 with worker threads";
}

int Supports(heif_compression_format format) {
    // Above libheif's own decoders, which ask for 100.
    return format == heif_compression_HEVC ? 150 : 0;
}

heif_error NewDecoder(void** decoder) {
    auto made = std::make_unique<TDecoder>();
    made->context = de265->de265_new_decoder();
    if (!made->context) return Failed("Cannot create an HEVC decoder");
    *decoder = made.release();
    return Ok();
}

void FreeDecoder(void* decoder) {
    auto* self = static_cast<TDecoder*>(decoder);
    de265->de265_free_decoder(self->context);
    delete self;
}

// libheif hands over the parameter sets and the picture as NAL units, each after its length in
// four bytes, most significant first.
heif_error PushData(void* decoder, const void* data, size_t size) {
    auto* self = static_cast<TDecoder*>(decoder);
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        if (size < 4) return Failed("HEVC data ends inside a length");
        size_t length = size_t(bytes[0]) << 24 | size_t(bytes[1]) << 16 | size_t(bytes[2]) << 8 | bytes[3];
        bytes += 4, size -= 4;
        if (length > size) return Failed("HEVC data ends inside a unit");
        if (!de265->de265_isOK(de265->de265_push_NAL(self->context, bytes, int(length), 0, nullptr)))
            return Failed("HEVC data cannot be taken");
        bytes += length, size -= length;
        self->pushed += length;
    }
    return Ok();
}

void SetStrictDecoding(void*, int) {}

heif_colorspace ColorspaceOf(de265_chroma chroma) {
    return chroma == de265_chroma_mono ? heif_colorspace_monochrome : heif_colorspace_YCbCr;
}

heif_chroma ChromaOf(de265_chroma chroma) {
    switch (chroma) {
    case de265_chroma_mono:
        return heif_chroma_monochrome;
    case de265_chroma_422:
        return heif_chroma_422;
    case de265_chroma_444:
        return heif_chroma_444;
    default:
        return heif_chroma_420;
    }
}

// The colour description of the bitstream goes with the picture: libheif converts to RGB by its
// matrix and range (without it a few greens came out one step off libheif's own decoder).
void DescribeColours(const de265_image* picture, heif_image* image) {
    const THeifLibrary& heif = Heif();
    heif_color_profile_nclx* nclx = heif.heif_nclx_color_profile_alloc();
    if (!nclx) return;
    // An unknown code point leaves libheif's default in place.
    heif.heif_nclx_color_profile_set_color_primaries(
        nclx, uint16_t(de265->de265_get_image_colour_primaries(picture)));
    heif.heif_nclx_color_profile_set_transfer_characteristics(
        nclx, uint16_t(de265->de265_get_image_transfer_characteristics(picture)));
    heif.heif_nclx_color_profile_set_matrix_coefficients(
        nclx, uint16_t(de265->de265_get_image_matrix_coefficients(picture)));
    nclx->full_range_flag = uint8_t(de265->de265_get_image_full_range_flag(picture) != 0);
    heif.heif_image_set_nclx_color_profile(image, nclx);
    heif.heif_nclx_color_profile_free(nclx);
}

// The decoded planes copied into a libheif picture, which converts them further.
heif_error CopyPicture(const de265_image* picture, heif_image** out) {
    const THeifLibrary& heif = Heif();
    int width = de265->de265_get_image_width(picture, 0), height = de265->de265_get_image_height(picture, 0);
    if (width < 1 || height < 1 || uint64_t(width) * uint64_t(height) * 3 > PixelStoreLimit())
        return Failed("HEVC picture has an impossible size");
    de265_chroma chroma = de265->de265_get_chroma_format(picture);
    heif_image* image = nullptr;
    heif_error error = heif.heif_image_create(width, height, ColorspaceOf(chroma), ChromaOf(chroma), &image);
    if (error.code != heif_error_Ok) return error;
    const heif_channel channels[3] = {heif_channel_Y, heif_channel_Cb, heif_channel_Cr};
    for (int c = 0; c < (chroma == de265_chroma_mono ? 1 : 3); ++c) {
        int planeWidth = de265->de265_get_image_width(picture, c);
        int planeHeight = de265->de265_get_image_height(picture, c);
        int bits = de265->de265_get_bits_per_pixel(picture, c);
        int sourceStride = 0, targetStride = 0;
        const uint8_t* source = de265->de265_get_image_plane(picture, c, &sourceStride);
        error = heif.heif_image_add_plane(image, channels[c], planeWidth, planeHeight, bits);
        uint8_t* target = error.code == heif_error_Ok
                              ? heif.heif_image_get_plane(image, channels[c], &targetStride)
                              : nullptr;
        if (!source || !target || bits < 1 || bits > 16) {
            heif.heif_image_release(image);
            return error.code != heif_error_Ok ? error : Failed("HEVC picture has an impossible plane");
        }
        size_t rowBytes = size_t(planeWidth) * (bits > 8 ? 2 : 1);
        for (int y = 0; y < planeHeight; ++y)
            std::memcpy(target + size_t(y) * size_t(targetStride), source + size_t(y) * size_t(sourceStride),
                        rowBytes);
    }
    DescribeColours(picture, image);
    *out = image;
    return Ok();
}

heif_error DecodeImage(void* decoder, heif_image** out) {
    auto* self = static_cast<TDecoder*>(decoder);
    if (self->pushed >= kThreadedFrom) {
        int threads = int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
        de265->de265_start_worker_threads(self->context, threads);
    }
    if (!de265->de265_isOK(de265->de265_flush_data(self->context)))
        return Failed("HEVC data cannot be taken");
    const de265_image* picture = nullptr;
    int more = 1;
    while (more && !picture) {
        de265_error error = de265->de265_decode(self->context, &more);
        if (!de265->de265_isOK(error) && error != DE265_ERROR_WAITING_FOR_INPUT_DATA)
            return Failed(de265->de265_get_error_text(error));
        picture = de265->de265_get_next_picture(self->context);
    }
    if (!picture) return Failed("HEVC data holds no picture");
    heif_error copied = CopyPicture(picture, out);
    de265->de265_release_next_picture(self->context);
    return copied;
}

heif_decoder_plugin plugin = {3,
                              PluginName,
                              nullptr,
                              nullptr,
                              Supports,
                              NewDecoder,
                              FreeDecoder,
                              PushData,
                              DecodeImage,
                              SetStrictDecoding,
                              kThreadedHevcDecoderId};

bool Register() {
    static const std::unique_ptr<TDe265Library> library = LoadDe265();
    const THeifLibrary* heif = HeifIfInstalled();
    if (!library || !heif) return false;
    de265 = library.get();
    return heif->heif_register_decoder_plugin(&plugin).code == heif_error_Ok;
}

} // namespace

bool RegisterThreadedHevcDecoder() {
    static const bool registered = Register();
    return registered;
}

} // namespace vistrel
