#pragma once
#include "image_processing/image_transform.h"

namespace vistrel {

// Hue, saturation and lightness, each 0 .. 1 in single precision; H = -1 for a gray.
struct THsl {
    float h, s, l;
};
THsl RgbToHsl(TColor color);
// The top byte of the result is 0.
TColor HslToRgb(float h, float s, float l);

// Lightness changes in HSL: the frame shared by brightness and contrast. ApplyOnDest copies the
// source and works on the copy; Apply works in place.
class THslTransform : public TImageTransform {
public:
    void Apply(TDibGraphic& graphic) override;
    void ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) override;

protected:
    virtual float NewLightness(float l) const = 0;
};

class TBrightnessTransform : public THslTransform {
public:
    std::string ClassName() const override { return "TBrightnessTransform"; }
    double Amount() const { return amount_; }
    // Percent, clamped to -100 .. 100.
    void SetAmount(double percent);

protected:
    float NewLightness(float l) const override;

private:
    double amount_ = 5.0;
};

class TContrastTransform : public THslTransform {
public:
    std::string ClassName() const override { return "TContrastTransform"; }
    bool Stronger = true;

protected:
    float NewLightness(float l) const override;
};

class TGammaTransform : public TImageTransform {
public:
    std::string ClassName() const override { return "TGammaTransform"; }
    void ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) override;
    double GammaValue() const { return gamma_; }
    // Clamped to 0.1 .. 7.0.
    void SetGammaValue(double gamma);

private:
    double gamma_ = 1.0;
};

class TConvertToGrayTransform : public TImageTransform {
public:
    std::string ClassName() const override { return "TConvertToGrayTransform"; }
    void ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) override;
    double RedWeight = 0.299;
    double GreenWeight = 0.587;
    double BlueWeight = 0.114;
    TImageFormat TargetFormat = ifGray256;
};

// Inverts in place: true-colour pixels, the palette of colour formats, the indices of gray ones.
class TNegativeTransform : public TImageTransform {
public:
    std::string ClassName() const override { return "TNegativeTransform"; }
    void Apply(TDibGraphic& graphic) override;
    void ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) override;
};

} // namespace vistrel
