#include "image_processing/gif_graphic.h"

#include <cstring>
#include <gif_lib.h>
#include <vector>

namespace vistrel {

namespace {

struct MemorySource {
    ByteView data;
    size_t pos = 0;
};

int ReadFromMemory(GifFileType* gif, GifByteType* out, int length) {
    auto* source = static_cast<MemorySource*>(gif->UserData);
    size_t count = std::min(size_t(std::max(length, 0)), source->data.size() - source->pos);
    std::memcpy(out, source->data.data() + source->pos, count);
    source->pos += count;
    return int(count);
}

// giflib reports failures as return codes; this is the one place that turns them into exceptions.
void Check(int result, const GifFileType* gif) {
    if (result == GIF_OK) return;
    const char* text = GifErrorString(gif ? gif->Error : D_GIF_ERR_READ_FAILED);
    throw EImageError(std::string("GIF file is not valid or corrupted: ") + (text ? text : "unknown error"));
}

struct GifCloser {
    GifFileType* gif;
    ~GifCloser() {
        int error = 0;
        if (gif) DGifCloseFile(gif, &error);
    }
};

// The transparent colour index of a graphic control extension, or -1.
int TransparentIndex(GifByteType* extension) {
    if (extension && extension[0] >= 4 && (extension[1] & 1)) return extension[4];
    return -1;
}

void ReadFrameRows(GifFileType* gif, std::vector<uint8_t>& indices, int width, int height) {
    indices.assign(size_t(width) * height, 0);
    if (gif->Image.Interlace) {
        static const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = start[pass]; y < height; y += step[pass])
                Check(DGifGetLine(gif, indices.data() + size_t(y) * width, width), gif);
    } else {
        for (int y = 0; y < height; ++y)
            Check(DGifGetLine(gif, indices.data() + size_t(y) * width, width), gif);
    }
}

} // namespace

bool TGifGraphic::IsValidStream(ByteView data) const {
    return data.size() >= 6 &&
           (std::memcmp(data.data(), "GIF87a", 6) == 0 || std::memcmp(data.data(), "GIF89a", 6) == 0);
}

void TGifGraphic::ReadImage(ByteView data, int) {
    Progress(0);
    FreeImage();
    if (!IsValidStream(data)) throw EImageError("Not a valid GIF file");
    MemorySource source{data};
    int error = 0;
    GifCloser closer{DGifOpen(&source, ReadFromMemory, &error)};
    if (!closer.gif) throw EImageError("GIF file is not valid or corrupted");
    GifFileType* gif = closer.gif;
    int transparent = -1;
    for (;;) {
        GifRecordType record;
        Check(DGifGetRecordType(gif, &record), gif);
        if (record == TERMINATE_RECORD_TYPE) throw EImageError("GIF file contains no image");
        if (record == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* extension = nullptr;
            Check(DGifGetExtension(gif, &code, &extension), gif);
            if (code == GRAPHICS_EXT_FUNC_CODE) transparent = TransparentIndex(extension);
            while (extension)
                Check(DGifGetExtensionNext(gif, &extension), gif);
            continue;
        }
        if (record != IMAGE_DESC_RECORD_TYPE) continue;
        Check(DGifGetImageDesc(gif), gif);
        GifImageDesc& frame = gif->Image;
        int width = gif->SWidth > 0 ? gif->SWidth : frame.Width;
        int height = gif->SHeight > 0 ? gif->SHeight : frame.Height;
        const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
        if (frame.Width < 1 || frame.Height < 1 || !map)
            throw EImageError("GIF file is not valid or corrupted");
        NewImage(width, height, ifRgb24);
        // The frame's own pixel buffer is the size its header claims; check it like the picture.
        if (uint64_t(frame.Width) * uint64_t(frame.Height) > PixelStoreLimit())
            throw EImageError("GIF frame is too large");
        std::vector<uint8_t> indices;
        ReadFrameRows(gif, indices, frame.Width, frame.Height);
        for (int y = 0; y < frame.Height; ++y) {
            int dy = frame.Top + y;
            if (dy < 0 || dy >= height) continue;
            for (int x = 0; x < frame.Width; ++x) {
                int dx = frame.Left + x, index = indices[size_t(y) * frame.Width + x];
                if (dx < 0 || dx >= width || index == transparent || index >= map->ColorCount) continue;
                const GifColorType& c = map->Colors[index];
                WritePixel(dx, dy, TColor(c.Red) << 16 | TColor(c.Green) << 8 | c.Blue);
            }
        }
        Progress(100);
        return;
    }
}

} // namespace vistrel
