#include "image_processing/webp_graphic.h"

#include "image_processing/alpha_rows.h"
#include "image_processing/color_management.h"

#include <cstring>
#include <memory>
#include <webp/decode.h>
#include <webp/demux.h>

namespace vistrel {

namespace {

// libwebp has no error callback: each call answers with a status code. This is the one place that
// turns a code into the exception's text.
[[noreturn]] void FailWith(VP8StatusCode status) {
    switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY:
        throw EImageError("Out of resources");
    case VP8_STATUS_UNSUPPORTED_FEATURE:
        throw EImageError("WebP file uses an unsupported feature");
    case VP8_STATUS_NOT_ENOUGH_DATA:
        throw EImageError("WebP file is truncated");
    default:
        throw EImageError("WebP file is not valid or corrupted");
    }
}

struct DemuxDeleter {
    void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};

struct FrameRelease {
    WebPIterator* iterator;
    ~FrameRelease() { WebPDemuxReleaseIterator(iterator); }
};

struct DecodeBufferRelease {
    WebPDecBuffer* buffer;
    ~DecodeBufferRelease() { WebPFreeDecBuffer(buffer); }
};

// The first frame's bitstream, decoded by libwebp into a buffer of its own: blue, green, red and,
// when the frame has alpha, alpha. Both the canvas and that buffer are checked against the limit first.
void DecodeFrame(const WebPIterator& frame, WebPDecoderConfig& config) {
    if (WebPGetFeatures(frame.fragment.bytes, frame.fragment.size, &config.input) != VP8_STATUS_OK)
        FailWith(VP8_STATUS_BITSTREAM_ERROR);
    if (config.input.width != frame.width || config.input.height != frame.height)
        FailWith(VP8_STATUS_BITSTREAM_ERROR);
    bool alpha = config.input.has_alpha != 0;
    CheckPixelStoreSize(frame.width, frame.height, ifRgb24);
    if (uint64_t(frame.width) * uint64_t(frame.height) * (alpha ? 4 : 3) > PixelStoreLimit())
        throw EImageError("Image of " + std::to_string(frame.width) + " x " + std::to_string(frame.height) +
                          " pixels is too large");
    config.output.colorspace = alpha ? MODE_BGRA : MODE_BGR;
    VP8StatusCode status = WebPDecode(frame.fragment.bytes, frame.fragment.size, &config);
    if (status != VP8_STATUS_OK) FailWith(status);
}

// The ICCP chunk, present when the extended header's flag says so.
TEmbeddedColor EmbeddedColor(WebPDemuxer* demux) {
    if (!(WebPDemuxGetI(demux, WEBP_FF_FORMAT_FLAGS) & ICCP_FLAG)) return {};
    WebPChunkIterator chunk;
    TEmbeddedColor color;
    if (WebPDemuxGetChunk(demux, "ICCP", 1, &chunk))
        color.icc.assign(chunk.chunk.bytes, chunk.chunk.bytes + chunk.chunk.size);
    WebPDemuxReleaseChunkIterator(&chunk);
    return color;
}

} // namespace

bool TWebpGraphic::IsValidStream(ByteView data) const {
    return data.size() >= 12 && std::memcmp(data.data(), "RIFF", 4) == 0 &&
           std::memcmp(data.data() + 8, "WEBP", 4) == 0;
}

void TWebpGraphic::ReadImage(ByteView data, int) {
    Progress(0);
    FreeImage();
    if (!IsValidStream(data)) throw EImageError("WebP file is not valid or corrupted");
    WebPData bytes{data.data(), data.size()};
    // WebPDemux refuses a file cut short; the partial variant would hand out half a picture.
    std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(WebPDemux(&bytes));
    if (!demux) FailWith(VP8_STATUS_NOT_ENOUGH_DATA);
    int canvasWidth = int(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH));
    int canvasHeight = int(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT));
    CheckPixelStoreSize(canvasWidth, canvasHeight, ifRgb24);
    WebPIterator frame;
    if (!WebPDemuxGetFrame(demux.get(), 1, &frame)) FailWith(VP8_STATUS_BITSTREAM_ERROR);
    FrameRelease frameRelease{&frame};
    if (frame.x_offset + frame.width > canvasWidth || frame.y_offset + frame.height > canvasHeight)
        FailWith(VP8_STATUS_BITSTREAM_ERROR);
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) FailWith(VP8_STATUS_INVALID_PARAM);
    DecodeBufferRelease bufferRelease{&config.output};
    DecodeFrame(frame, config);
    Progress(80);
    // A canvas larger than the first frame is transparent, which is black here, like NewImage's zeros.
    NewImage(canvasWidth, canvasHeight, ifRgb24);
    const WebPRGBABuffer& decoded = config.output.u.RGBA;
    bool alpha = config.output.colorspace == MODE_BGRA;
    for (int y = 0; y < frame.height; ++y) {
        const uint8_t* in = decoded.rgba + size_t(y) * size_t(decoded.stride);
        uint8_t* out = ScanLine(frame.y_offset + y) + size_t(frame.x_offset) * 3;
        if (alpha)
            ComposeBgraOverBlack(in, out, frame.width);
        else
            std::memcpy(out, in, size_t(frame.width) * 3);
    }
    ConvertToSrgb(*this, EmbeddedColor(demux.get()));
    Progress(100);
}

} // namespace vistrel
