#include "image_processing/rotate_transform.h"

#include "common/numbers.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vistrel {

namespace {

void NewLike(const TDibGraphic& source, TDibGraphic& destination, int width, int height) {
    destination.NewImage(width, height, source.ImageFormat(), &source.Palette(), 0, 0);
    destination.SetXDotsPerInch(source.XDotsPerInch());
    destination.SetYDotsPerInch(source.YDotsPerInch());
}

// Colours for true colour, palette indices otherwise, so no palette lookup can change a pixel.
void CopyPixel(const TDibGraphic& source, int sx, int sy, TDibGraphic& destination, int dx, int dy) {
    if (source.ImageFormat() == ifRgb24)
        std::copy_n(source.ScanLine(sy) + 3 * sx, 3, destination.ScanLine(dy) + 3 * dx);
    else
        destination.WritePixelIndex(dx, dy, source.ReadPixelIndex(sx, sy));
}

} // namespace

int WholeRotationAngle(double degrees) {
    double rounded = Round(degrees * 1000.0) / 1000.0;
    if (std::fabs(rounded - double(Round(degrees))) >= 0.005) return -1;
    int64_t angle = (Round(degrees) + 360) % 360;
    while (angle < 0)
        angle = (angle + 360) % 360;
    return int(angle);
}

void TRotateTransform::ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) {
    StartProgress();
    ReportProgress(0, 0, 100);
    int angle = WholeRotationAngle(Degrees);
    if (angle == 0)
        destination.CopyFromGraphic(&source);
    else if (angle == 90 || angle == 180 || angle == 270)
        RotateQuarter(source, destination, angle);
    else
        RotateFree(source, destination);
    ReportProgress(100, 0, 100);
}

void TRotateTransform::RotateQuarter(const TDibGraphic& source, TDibGraphic& destination, int angle) {
    int sw = source.Width(), sh = source.Height();
    if (angle == 180)
        NewLike(source, destination, sw, sh);
    else
        NewLike(source, destination, sh, sw);
    for (int y = 0; y < sh; ++y) {
        for (int x = 0; x < sw; ++x) {
            if (angle == 90)
                CopyPixel(source, x, y, destination, sh - 1 - y, x);
            else if (angle == 180)
                CopyPixel(source, x, y, destination, sw - 1 - x, sh - 1 - y);
            else
                CopyPixel(source, x, y, destination, y, sw - 1 - x);
        }
        ReportProgress(y, 0, sh - 1);
    }
}

void TRotateTransform::RotateFree(const TDibGraphic& source, TDibGraphic& destination) {
    int sw = source.Width(), sh = source.Height();
    double theta = Degrees * std::numbers::pi / 180.0;
    double cosT = std::cos(theta), sinT = std::sin(theta);
    int cx = sw / 2, cy = sh / 2;
    int64_t minX = INT64_MAX, maxX = INT64_MIN, minY = INT64_MAX, maxY = INT64_MIN;
    for (auto [x, y] : {std::pair{0, 0}, {0, sh - 1}, {sw - 1, sh - 1}, {sw - 1, 0}}) {
        int64_t X = Round((x - cx) * cosT - (y - cy) * sinT + cx);
        int64_t Y = Round((x - cx) * sinT + (y - cy) * cosT + cy);
        minX = std::min(minX, X), maxX = std::max(maxX, X);
        minY = std::min(minY, Y), maxY = std::max(maxY, Y);
    }
    int width = int(maxX - minX + 1), height = int(maxY - minY + 1);
    NewLike(source, destination, width, height);
    int ncx = width / 2, ncy = height / 2;
    bool trueColor = source.ImageFormat() == ifRgb24;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int64_t sx = Round((x - ncx) * cosT + (y - ncy) * sinT + cx);
            int64_t sy = Round(-(x - ncx) * sinT + (y - ncy) * cosT + cy);
            if (sx == sw) sx = sw - 1;
            if (sy == sh) sy = sh - 1;
            if (sx < 0 || sy < 0 || sx >= sw || sy >= sh)
                destination.WritePixel(x, y, FillColor);
            else if (trueColor)
                CopyPixel(source, int(sx), int(sy), destination, x, y);
            else
                destination.WritePixelIndex(x, y, source.ReadPixelIndex(int(sx), int(sy)));
        }
        ReportProgress(y, 0, height - 1);
    }
}

void TFlipHorizontalTransform::ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) {
    StartProgress();
    ReportProgress(0, 0, 100);
    int sw = source.Width(), sh = source.Height();
    if (sw <= 1) {
        destination.CopyFromGraphic(&source);
    } else {
        NewLike(source, destination, sw, sh);
        for (int y = 0; y < sh; ++y) {
            for (int x = 0; x < sw; ++x)
                CopyPixel(source, x, y, destination, sw - 1 - x, y);
            ReportProgress(y, 0, sh - 1);
        }
    }
    ReportProgress(100, 0, 100);
}

void TFlipVerticalTransform::ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) {
    StartProgress();
    ReportProgress(0, 0, 100);
    int sw = source.Width(), sh = source.Height();
    if (sh <= 1) {
        destination.CopyFromGraphic(&source);
    } else {
        // Whole rows move; the bytes of a row are the same in every format.
        NewLike(source, destination, sw, sh);
        for (int y = 0; y < sh; ++y) {
            std::copy_n(source.ScanLine(y), source.BytesPerRow(), destination.ScanLine(sh - 1 - y));
            ReportProgress(y, 0, sh - 1);
        }
    }
    ReportProgress(100, 0, 100);
}

} // namespace vistrel
