#include "image_processing/webp_encoder.h"

#include <webp/encode.h>

#include <memory>
#include <string>
#include <vector>

namespace vistrel {
namespace {

// The picture's rows top-down as blue, green, red: the DIB keeps them bottom-up and padded, gray
// pictures have one byte per pixel, and libwebp wants one packed layout.
std::vector<uint8_t> TopDownBgr(const TDibGraphic& picture) {
    const int width = picture.Width();
    const int height = picture.Height();
    std::vector<uint8_t> bgr(size_t(width) * size_t(height) * 3);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = picture.ScanLine(y);
        uint8_t* out = bgr.data() + size_t(y) * size_t(width) * 3;
        if (picture.ImageFormat() == ifRgb24) {
            std::copy(row, row + size_t(width) * 3, out);
            continue;
        }
        for (int x = 0; x < width; ++x)
            out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = row[x];
    }
    return bgr;
}

struct TPictureGuard {
    WebPPicture picture;
    TPictureGuard() { WebPPictureInit(&picture); }
    ~TPictureGuard() { WebPPictureFree(&picture); }
};

struct TWriterGuard {
    WebPMemoryWriter writer;
    TWriterGuard() { WebPMemoryWriterInit(&writer); }
    ~TWriterGuard() { WebPMemoryWriterClear(&writer); }
};

} // namespace

ByteBuffer EncodeWebp(const TDibGraphic& picture, const TWebpOptions& options) {
    if (picture.IsEmpty()) throw EImageError("WebP: the picture is empty");
    const TImageFormat format = picture.ImageFormat();
    if (format != ifRgb24 && format != ifGray256) throw EImageError("WebP: only gray and true colour");
    if (picture.Width() > WEBP_MAX_DIMENSION || picture.Height() > WEBP_MAX_DIMENSION)
        throw EImageError("WebP: the picture is larger than 16383 pixels");

    WebPConfig config;
    if (!WebPConfigInit(&config)) throw EImageError("WebP: library version mismatch");
    config.quality = options.quality;
    config.method = options.method;
    // One thread per picture: the caller already encodes several pictures side by side.
    config.thread_level = 0;
    if (!WebPValidateConfig(&config)) throw EImageError("WebP: invalid options");

    TPictureGuard guard;
    WebPPicture& target = guard.picture;
    target.width = picture.Width();
    target.height = picture.Height();
    std::vector<uint8_t> bgr = TopDownBgr(picture);
    if (!WebPPictureImportBGR(&target, bgr.data(), picture.Width() * 3))
        throw EImageError("WebP: out of memory");
    bgr = {};

    TWriterGuard output;
    target.writer = WebPMemoryWrite;
    target.custom_ptr = &output.writer;
    if (!WebPEncode(&config, &target))
        throw EImageError("WebP: encoding failed (libwebp error " + std::to_string(target.error_code) + ")");
    return ByteBuffer(output.writer.mem, output.writer.mem + output.writer.size);
}

} // namespace vistrel
