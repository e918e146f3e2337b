#include "image_processing/view_render.h"

#include <algorithm>
#include <vector>

namespace vistrel {
namespace {

// The source columns (or rows) under each display column of the part: [first, last) per entry.
struct TSpan {
    int first;
    int last;
};

std::vector<TSpan> Spans(int sourceLength, int displayLength, int from, int count, TStretchMode mode) {
    std::vector<TSpan> spans(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        int64_t d = from + i;
        int first = static_cast<int>(d * sourceLength / displayLength);
        int last = static_cast<int>((d + 1) * sourceLength / displayLength);
        first = std::min(first, sourceLength - 1);
        last = mode == TStretchMode::Pick ? first + 1 : std::clamp(last, first + 1, sourceLength);
        spans[static_cast<size_t>(i)] = {first, last};
    }
    return spans;
}

// One source row as blue, green, red bytes for the columns [first, last): the picture's own bytes
// for true colour, converted through ReadPixel for the palette formats.
class TRowSource {
public:
    TRowSource(const TDibGraphic& picture, int first, int last)
        : picture_(picture), first_(first), last_(last) {
        if (picture.ImageFormat() != ifRgb24) buffer_.resize(size_t(3) * size_t(last - first));
    }
    // Pointer to column 0 of the row, valid for columns first .. last - 1.
    const uint8_t* Row(int y) {
        if (picture_.ImageFormat() == ifRgb24) return picture_.ScanLine(y);
        for (int x = first_; x < last_; ++x) {
            TColor c = picture_.ReadPixel(x, y);
            uint8_t* p = buffer_.data() + size_t(3) * size_t(x - first_);
            p[0] = uint8_t(c), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c >> 16);
        }
        return buffer_.data() - ptrdiff_t(3) * first_;
    }

private:
    const TDibGraphic& picture_;
    int first_;
    int last_;
    std::vector<uint8_t> buffer_;
};

// A 64-bit division costs several times a 32-bit one, and the view divides three times per pixel:
// enlarged and 100 % views divide by 1, reductions fit 32 bits below 16 million pixels per average.
inline uint32_t Mean(uint64_t sum, uint64_t count) {
    if (count == 1) return uint32_t(sum);
    if (count < (uint64_t(1) << 24)) return uint32_t(sum) / uint32_t(count);
    return uint32_t(sum / count);
}

} // namespace

TStretchMode StretchModeFor(const TDibGraphic& picture, bool antiAliased) {
    int64_t pixels = int64_t(picture.Width()) * picture.Height();
    if (picture.ImageFormat() == ifRgb24 && pixels > 1024) return TStretchMode::Average;
    if (picture.ImageFormat() == ifBlackWhite && antiAliased) return TStretchMode::Average;
    return TStretchMode::Pick;
}

void RenderDisplayPart(const TDibGraphic& picture, TViewSize display, TDisplayRect part, TStretchMode mode,
                       uint32_t* out, int stride) {
    if (picture.IsEmpty() || part.width <= 0 || part.height <= 0) return;
    std::vector<TSpan> columns = Spans(picture.Width(), display.width, part.left, part.width, mode);
    std::vector<TSpan> rows = Spans(picture.Height(), display.height, part.top, part.height, mode);
    TRowSource source(picture, columns.front().first, columns.back().last);
    std::vector<uint64_t> sums(size_t(3) * size_t(part.width));
    for (int i = 0; i < part.height; ++i) {
        const TSpan rowSpan = rows[size_t(i)];
        std::fill(sums.begin(), sums.end(), 0);
        for (int y = rowSpan.first; y < rowSpan.last; ++y) {
            const uint8_t* row = source.Row(y);
            uint64_t* sum = sums.data();
            for (const TSpan& span : columns) {
                uint32_t b = 0, g = 0, r = 0;
                for (const uint8_t* p = row + 3 * span.first; p < row + 3 * span.last; p += 3)
                    b += p[0], g += p[1], r += p[2];
                sum[0] += b, sum[1] += g, sum[2] += r;
                sum += 3;
            }
        }
        uint32_t* target = out + ptrdiff_t(i) * stride;
        int rowCount = rowSpan.last - rowSpan.first;
        for (int k = 0; k < part.width; ++k) {
            const TSpan& span = columns[size_t(k)];
            uint64_t count = uint64_t(span.last - span.first) * uint64_t(rowCount);
            const uint64_t* sum = sums.data() + 3 * k;
            target[k] =
                0xFF000000u | Mean(sum[2], count) << 16 | Mean(sum[1], count) << 8 | Mean(sum[0], count);
        }
    }
}

} // namespace vistrel
