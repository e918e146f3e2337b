#pragma once
#include "image_processing/image_transform.h"

#include <array>

namespace vistrel {

// A 3 x 3 convolution into a true-colour picture; the one-pixel frame is copied unchanged.
class TConvolutionTransform : public TImageTransform {
public:
    std::string ClassName() const override { return "TConvolutionTransform"; }
    void ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) override;

    // Row by row from the top row.
    std::array<std::array<int8_t, 3>, 3> Kernel = {{{0, 0, 0}, {0, 1, 0}, {0, 0, 0}}};
    int8_t KernelDivisor = 1;

protected:
    // Lets sharpen and soften derive kernel and divisor from their strength before each run.
    virtual void PrepareKernel() {}
};

class TSharpenTransform : public TConvolutionTransform {
public:
    std::string ClassName() const override { return "TSharpenTransform"; }
    uint8_t Strength = 10;

protected:
    void PrepareKernel() override;
};

class TSmoothTransform : public TConvolutionTransform {
public:
    std::string ClassName() const override { return "TSmoothTransform"; }
    uint8_t Strength = 20;

protected:
    void PrepareKernel() override;
};

// Copies a rectangle: by margins, or by coordinates (right and bottom exclusive).
class TCropTransform : public TImageTransform {
public:
    std::string ClassName() const override { return "TCropTransform"; }
    void ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) override;
    void SetMargins(int left, int top, int right, int bottom);
    void SetRectangle(int left, int top, int right, int bottom);

private:
    bool byMargins_ = true;
    int left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;
};

// Reduces a black-and-white picture to a smaller 256-gray one by the share of black pixels that fall
// into each target pixel.
class TAntiAliasTransform : public TImageTransform {
public:
    std::string ClassName() const override { return "TAntiAliasTransform"; }
    void ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) override;
    int TargetWidth = 100;
    int TargetHeight = 100;
};

} // namespace vistrel
