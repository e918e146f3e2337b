#include "image_processing/convolution_transform.h"

#include "common/numbers.h"

#include <algorithm>

namespace vistrel {

void TConvolutionTransform::ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) {
    StartProgress();
    ReportProgress(0, 0, 100);
    PrepareKernel();
    int sw = source.Width(), sh = source.Height();
    if (sw < 3 || sh < 3) {
        destination.CopyFromGraphic(&source);
        ReportProgress(100, 0, 100);
        return;
    }
    int divisor = KernelDivisor == 0 ? 1 : KernelDivisor;
    destination.NewImage(sw, sh, ifRgb24, nullptr, source.XDotsPerInch(), source.YDotsPerInch());
    for (int x = 0; x < sw; ++x) {
        destination.WritePixel(x, 0, source.ReadPixel(x, 0));
        destination.WritePixel(x, sh - 1, source.ReadPixel(x, sh - 1));
    }
    for (int y = 0; y < sh; ++y) {
        destination.WritePixel(0, y, source.ReadPixel(0, y));
        destination.WritePixel(sw - 1, y, source.ReadPixel(sw - 1, y));
    }
    // Three source rows as colours, so each pixel is read once per row rather than nine times.
    std::vector<TColor> rows[3];
    auto loadRow = [&](std::vector<TColor>& row, int y) {
        row.resize(sw);
        for (int x = 0; x < sw; ++x)
            row[x] = source.ReadPixel(x, y);
    };
    loadRow(rows[0], 0);
    loadRow(rows[1], 1);
    for (int y = 1; y <= sh - 2; ++y) {
        loadRow(rows[2], y + 1);
        for (int x = 1; x <= sw - 2; ++x) {
            TColor result = 0;
            for (int shift = 0; shift < 24; shift += 8) {
                int sum = 0;
                for (int r = 0; r < 3; ++r)
                    for (int c = 0; c < 3; ++c)
                        sum += Kernel[r][c] * int((rows[r][x - 1 + c] >> shift) & 0xFF);
                int value = sum < 0 ? 0 : std::min(sum / divisor, 255);
                result |= TColor(std::max(value, 0)) << shift;
            }
            destination.WritePixel(x, y, result);
        }
        std::swap(rows[0], rows[1]);
        std::swap(rows[1], rows[2]);
        ReportProgress(y, 1, sh - 2);
    }
    ReportProgress(100, 0, 100);
}

void TSharpenTransform::PrepareKernel() {
    int centre = int(Round((100 - Strength) / 4.0)) + 15;
    Kernel = {{{-1, -2, -1}, {-2, int8_t(centre), -2}, {-1, -2, -1}}};
    KernelDivisor = int8_t(centre - 12);
}

void TSmoothTransform::PrepareKernel() {
    int centre = int(Round((100 - Strength) / 4.0)) + 15;
    Kernel = {{{1, 2, 1}, {2, int8_t(centre), 2}, {1, 2, 1}}};
    KernelDivisor = int8_t(centre + 12);
}

void TCropTransform::SetMargins(int left, int top, int right, int bottom) {
    byMargins_ = true;
    left_ = left, top_ = top, right_ = right, bottom_ = bottom;
}

void TCropTransform::SetRectangle(int left, int top, int right, int bottom) {
    byMargins_ = false;
    left_ = left, top_ = top, right_ = right, bottom_ = bottom;
}

void TCropTransform::ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) {
    StartProgress();
    ReportProgress(0, 0, 100);
    int left = std::max(0, left_), top = std::max(0, top_);
    int right = byMargins_ ? source.Width() - right_ : std::min(right_, source.Width());
    int bottom = byMargins_ ? source.Height() - bottom_ : std::min(bottom_, source.Height());
    if (right <= left || bottom <= top) throw EImageError("Invalid crop parameters");
    destination.NewImage(right - left, bottom - top, source.ImageFormat(), &source.Palette(),
                         source.XDotsPerInch(), source.YDotsPerInch());
    bool indices = source.ImageFormat() != ifRgb24;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            if (indices)
                destination.WritePixelIndex(x - left, y - top, source.ReadPixelIndex(x, y));
            else
                destination.WritePixel(x - left, y - top, source.ReadPixel(x, y));
        }
        ReportProgress(y, top, bottom - 1);
    }
    ReportProgress(100, 0, 100);
}

void TAntiAliasTransform::ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) {
    StartProgress();
    ReportProgress(0, 0, 100);
    if (source.ImageFormat() != ifBlackWhite)
        throw EImageError("Anti-aliasing needs a black and white image");
    int sw = source.Width(), sh = source.Height();
    int dw = std::clamp(TargetWidth, 1, sw), dh = std::clamp(TargetHeight, 1, sh);
    destination.NewImage(dw, dh, ifGray256, nullptr, source.XDotsPerInch(), source.YDotsPerInch());
    for (int y = 0; y < dh; ++y) {
        int y0 = int(int64_t(y) * sh / dh), y1 = int(int64_t(y + 1) * sh / dh);
        for (int x = 0; x < dw; ++x) {
            int x0 = int(int64_t(x) * sw / dw), x1 = int(int64_t(x + 1) * sw / dw);
            int64_t black = 0;
            for (int sy = y0; sy < y1; ++sy)
                for (int sx = x0; sx < x1; ++sx)
                    black += source.ReadPixel(sx, sy) == 0 ? 1 : 0;
            int64_t total = int64_t(y1 - y0) * (x1 - x0);
            destination.ScanLine(y)[x] = uint8_t(255 - black * 255 / total);
        }
        ReportProgress(y, 0, dh - 1);
    }
    ReportProgress(100, 0, 100);
}

} // namespace vistrel
