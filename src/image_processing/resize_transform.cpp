#include "image_processing/resize_transform.h"

#include <algorithm>

namespace vistrel {

namespace {

void StretchNearest(const TDibGraphic& source, TDibGraphic& destination) {
    int sw = source.Width(), sh = source.Height(), dw = destination.Width(), dh = destination.Height();
    bool sameFormat = source.ImageFormat() == destination.ImageFormat() && source.ImageFormat() != ifRgb24;
    for (int y = 0; y < dh; ++y) {
        int sy = int(int64_t(y) * sh / dh);
        for (int x = 0; x < dw; ++x) {
            int sx = int(int64_t(x) * sw / dw);
            if (sameFormat)
                destination.WritePixelIndex(x, y, source.ReadPixelIndex(sx, sy));
            else
                destination.WritePixel(x, y, source.ReadPixel(sx, sy));
        }
    }
}

// Each destination pixel is the mean of the source pixels its area covers.
void StretchAveraging(const TDibGraphic& source, TDibGraphic& destination) {
    int sw = source.Width(), sh = source.Height(), dw = destination.Width(), dh = destination.Height();
    for (int y = 0; y < dh; ++y) {
        int y0 = int(int64_t(y) * sh / dh), y1 = std::max(y0 + 1, int(int64_t(y + 1) * sh / dh));
        for (int x = 0; x < dw; ++x) {
            int x0 = int(int64_t(x) * sw / dw), x1 = std::max(x0 + 1, int(int64_t(x + 1) * sw / dw));
            uint64_t sum[3] = {};
            for (int sy = y0; sy < y1; ++sy) {
                const uint8_t* p = source.ScanLine(sy) + 3 * x0;
                for (int sx = x0; sx < x1; ++sx, p += 3)
                    for (int c = 0; c < 3; ++c)
                        sum[c] += p[c];
            }
            uint64_t count = uint64_t(y1 - y0) * uint64_t(x1 - x0);
            TColor color = 0;
            for (int c = 0; c < 3; ++c)
                color |= TColor((sum[c] + count / 2) / count) << (8 * c);
            destination.WritePixel(x, y, color);
        }
    }
}

} // namespace

void StretchImage(const TDibGraphic& source, TDibGraphic& destination) {
    bool reducing = destination.Width() < source.Width() || destination.Height() < source.Height();
    bool halftone = int64_t(source.Width()) * source.Height() > 1024 && source.ImageFormat() == ifRgb24;
    if (halftone && reducing)
        StretchAveraging(source, destination);
    else
        StretchNearest(source, destination);
}

void TResizeTransform::ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) {
    StartProgress();
    ReportProgress(0, 0, 100);
    if (Resample) {
        // Checked before the destination is made: a zero size would otherwise fail in NewImage with a
        // less telling message.
        if (source.IsEmpty()) throw EImageError("Source graphic too small");
        if (TargetWidth <= 1 || TargetHeight <= 1) throw EImageError("Destination graphic too small");
    }
    TImageFormat format = ForceFormat ? ForcedFormat : source.ImageFormat();
    const TPalette* palette = format == source.ImageFormat() ? &source.Palette() : nullptr;
    destination.NewImage(TargetWidth, TargetHeight, format, palette, source.XDotsPerInch(),
                         source.YDotsPerInch());
    if (!Resample) {
        ReportProgress(50, 0, 100);
        StretchImage(source, destination);
    } else {
        ResampleImage(source, destination, ResampleFilter,
                      [this](int64_t current, int64_t minimum, int64_t maximum) {
                          ReportProgress(current, minimum, maximum);
                      });
    }
    ReportProgress(100, 0, 100);
}

} // namespace vistrel
