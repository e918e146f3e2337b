#pragma once
#include "image_processing/image_transform.h"

namespace vistrel {

// Turns a picture clockwise by Degrees: whole quarter turns move pixels exactly; any other angle maps
// each destination pixel back to its nearest source pixel, with FillColor outside the source.
class TRotateTransform : public TImageTransform {
public:
    std::string ClassName() const override { return "TRotateTransform"; }
    void ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) override;

    double Degrees = 90.0;
    TColor FillColor = 0x00FFFFFF;

private:
    void RotateQuarter(const TDibGraphic& source, TDibGraphic& destination, int angle);
    void RotateFree(const TDibGraphic& source, TDibGraphic& destination);
};

// Whole angles normalised to 0 .. 359; -1 when Degrees is not a whole number (to 0.005).
int WholeRotationAngle(double degrees);

class TFlipHorizontalTransform : public TImageTransform {
public:
    std::string ClassName() const override { return "TFlipHorizontalTransform"; }
    void ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) override;
};

class TFlipVerticalTransform : public TImageTransform {
public:
    std::string ClassName() const override { return "TFlipVerticalTransform"; }
    void ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) override;
};

} // namespace vistrel
