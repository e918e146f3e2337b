#include "image_processing/color_transforms.h"

#include "common/numbers.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vistrel {

THsl RgbToHsl(TColor color) {
    int r = (color >> 16) & 0xFF, g = (color >> 8) & 0xFF, b = color & 0xFF;
    int max = std::max({r, g, b}), min = std::min({r, g, b});
    THsl hsl{-1.0f, 0.0f, float(max + min) / 510.0f};
    if (max == min) return hsl;
    float M = float(max) / 255.0f, m = float(min) / 255.0f, d = M - m;
    hsl.s = hsl.l <= 0.5f ? d / (M + m) : d / (2.0f - M - m);
    float rr = (M - float(r) / 255.0f) / d, gg = (M - float(g) / 255.0f) / d,
          bb = (M - float(b) / 255.0f) / d;
    float h6;
    if (r == max)
        h6 = g == min ? 5.0f + bb : 1.0f - gg;
    else if (g == max)
        h6 = b == min ? 1.0f + rr : 3.0f - bb;
    else
        h6 = r == min ? 3.0f + gg : 5.0f - rr;
    hsl.h = h6 / 6.0f;
    return hsl;
}

TColor HslToRgb(float h, float s, float l) {
    float v = l <= 0.5f ? l * (1.0f + s) : l + s - l * s;
    if (s == 0.0f || h == -1.0f) return TColor(Trunc(l * 255.0f + 0.5f)) * 0x010101u;
    float hh = h * 6.0f;
    int sector = int(Trunc(hh));
    float f = hh - float(sector);
    float m = 2.0f * l - v;
    float up = m + (v - m) * f, down = v - (v - m) * f;
    float r, g, b;
    switch (sector) {
    case 1:
        r = down, g = v, b = m;
        break;
    case 2:
        r = m, g = v, b = up;
        break;
    case 3:
        r = m, g = down, b = v;
        break;
    case 4:
        r = up, g = m, b = v;
        break;
    case 5:
        r = v, g = m, b = down;
        break;
    default:
        r = v, g = up, b = m;
        break;
    }
    auto toByte = [](float value) { return TColor(std::clamp<int64_t>(Round(value * 255.0f), 0, 255)); };
    return toByte(r) << 16 | toByte(g) << 8 | toByte(b);
}

void THslTransform::Apply(TDibGraphic& graphic) {
    StartProgress();
    ReportProgress(0, 0, 100);
    for (int y = 0; y < graphic.Height(); ++y) {
        for (int x = 0; x < graphic.Width(); ++x) {
            TColor color = graphic.ReadPixel(x, y);
            THsl hsl = RgbToHsl(color);
            float l = std::clamp(NewLightness(hsl.l), 0.0f, 1.0f);
            graphic.WritePixel(x, y, HslToRgb(hsl.h, hsl.s, l) | (color & 0xFF000000u));
        }
        ReportProgress(y, 0, graphic.Height() - 1);
    }
    ReportProgress(100, 0, 100);
}

void THslTransform::ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) {
    destination.CopyFromGraphic(&source);
    Apply(destination);
}

void TBrightnessTransform::SetAmount(double percent) {
    amount_ = std::clamp(percent, -100.0, 100.0);
}

float TBrightnessTransform::NewLightness(float l) const {
    return l + float(amount_ / 100.0);
}

// More contrast moves lightness halfway towards an S-curve through 0, 0.5 and 1; less moves it away.
float TContrastTransform::NewLightness(float l) const {
    float target = (std::sin(std::numbers::pi_v<float> * (l - 0.5f)) + 1.0f) * 0.5f;
    float direction = Stronger ? 1.0f : -1.0f;
    return l + (target - l) * direction * 0.5f;
}

void TGammaTransform::SetGammaValue(double gamma) {
    gamma_ = std::clamp(gamma, 0.1, 7.0);
}

void TGammaTransform::ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) {
    StartProgress();
    ReportProgress(0, 0, 100);
    uint8_t table[256] = {0};
    for (int i = 1; i < 256; ++i)
        table[i] = uint8_t(Round(255.0 * std::pow(i / 255.0, 1.0 / gamma_)));
    int w = source.Width(), h = source.Height();
    destination.NewImage(w, h, ifRgb24, nullptr, source.XDotsPerInch(), source.YDotsPerInch());
    for (int y = 0; y < h; ++y) {
        uint8_t* out = destination.ScanLine(y);
        if (source.ImageFormat() == ifRgb24) {
            const uint8_t* in = source.ScanLine(y);
            for (int k = 0; k < 3 * w; ++k)
                out[k] = table[in[k]];
        } else {
            for (int x = 0; x < w; ++x) {
                TColor c = source.ReadPixel(x, y);
                for (int k = 0; k < 3; ++k)
                    out[3 * x + k] = table[(c >> (8 * k)) & 0xFF];
            }
        }
        ReportProgress(y, 0, h - 1);
    }
    ReportProgress(100, 0, 100);
}

void TConvertToGrayTransform::ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) {
    StartProgress();
    ReportProgress(0, 0, 100);
    int64_t wr = Round(RedWeight * 1000), wg = Round(GreenWeight * 1000), wb = Round(BlueWeight * 1000);
    int w = source.Width(), h = source.Height();
    destination.NewImage(w, h, TargetFormat, nullptr, source.XDotsPerInch(), source.YDotsPerInch());
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            TColor c = source.ReadPixel(x, y);
            int64_t gray = (((c >> 16) & 0xFF) * wr + ((c >> 8) & 0xFF) * wg + (c & 0xFF) * wb) / 1000;
            gray = std::clamp<int64_t>(gray, 0, 255);
            destination.WritePixel(x, y, TColor(gray) * 0x010101u | (c & 0xFF000000u));
        }
        ReportProgress(y, 0, h - 1);
    }
    ReportProgress(100, 0, 100);
}

void TNegativeTransform::Apply(TDibGraphic& graphic) {
    if (graphic.IsEmpty()) return;
    TImageFormat format = graphic.ImageFormat();
    if (format == ifColor16 || format == ifColor256) {
        TPalette inverted = graphic.Palette();
        for (TColor& c : inverted)
            c ^= 0x00FFFFFFu;
        TDibGraphic copy;
        copy.NewImage(graphic.Width(), graphic.Height(), format, &inverted, graphic.XDotsPerInch(),
                      graphic.YDotsPerInch());
        std::copy_n(graphic.Pixels(), graphic.ImageSize(), copy.Pixels());
        graphic.TakeImageFrom(copy);
        return;
    }
    // True colour bytes and gray indices alike: every bit of a pixel flips.
    int rowBytes = (graphic.Width() * BitsPerPixel(format) + 7) / 8;
    for (int y = 0; y < graphic.Height(); ++y) {
        uint8_t* row = graphic.ScanLine(y);
        for (int k = 0; k < rowBytes; ++k)
            row[k] = uint8_t(~row[k]);
    }
}

void TNegativeTransform::ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) {
    destination.CopyFromGraphic(&source);
    Apply(destination);
}

} // namespace vistrel
