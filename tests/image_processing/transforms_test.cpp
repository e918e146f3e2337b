#include "image_processing/color_transforms.h"
#include "image_processing/convolution_transform.h"
#include "image_processing/rotate_transform.h"
#include "image_test_util.h"

#include <cmath>

namespace vistrel {
namespace {

using testing::FillColor;
using testing::FillPattern;
using testing::SamePixels;

struct AngleCase {
    const char* name;
    double degrees;
    int whole;
};

class RotateAngleTest : public ::testing::TestWithParam<AngleCase> {};

TEST_P(RotateAngleTest, NormalisesWholeAngles) {
    EXPECT_EQ(WholeRotationAngle(GetParam().degrees), GetParam().whole);
}

INSTANTIATE_TEST_SUITE_P(
    Angles, RotateAngleTest,
    ::testing::Values(AngleCase{"Full", 360, 0}, AngleCase{"MinusThreeQuarters", -270, 90},
                      AngleCase{"FourFifty", 450, 90}, AngleCase{"AlmostNinety", 90.004, 90},
                      AngleCase{"NotWhole", 90.01, -1}, AngleCase{"MinusNinety", -90, 270},
                      AngleCase{"MinusSevenTwenty", -720, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RotateTransform, QuarterTurnOfThreeByTwo) {
    TDibGraphic source, result;
    FillPattern(source, 3, 2);
    TRotateTransform rotate;
    rotate.ApplyOnDest(source, result);
    EXPECT_EQ(result.Width(), 2);
    EXPECT_EQ(result.Height(), 3);
    EXPECT_EQ(result.ReadPixel(1, 0), source.ReadPixel(0, 0)); // top-left goes to the top right
    EXPECT_EQ(result.ReadPixel(0, 2), source.ReadPixel(2, 1));
    rotate.Degrees = -90;
    rotate.ApplyOnDest(source, result);
    EXPECT_EQ(result.ReadPixel(0, 2), source.ReadPixel(0, 0));
}

TEST(RotateTransform, FourQuarterTurnsGiveTheOriginalInEveryFormat) {
    for (int f = ifBlackWhite; f <= ifRgb24; ++f) {
        SCOPED_TRACE(f);
        TDibGraphic source, picture;
        FillPattern(source, 13, 7, TImageFormat(f));
        picture.CopyFromGraphic(&source);
        TRotateTransform rotate;
        for (int k = 0; k < 4; ++k)
            rotate.Apply(picture);
        EXPECT_TRUE(SamePixels(source, picture));
        rotate.Degrees = 180;
        rotate.Apply(picture);
        EXPECT_EQ(picture.ReadPixel(12, 6), source.ReadPixel(0, 0));
    }
}

TEST(RotateTransform, ArbitraryAngleFillsTheCorners) {
    TDibGraphic source, result;
    FillColor(source, 40, 20, 0x000000);
    TRotateTransform rotate;
    rotate.Degrees = 90.01;
    rotate.FillColor = 0x00FF00;
    rotate.ApplyOnDest(source, result);
    EXPECT_EQ(result.Width(), 20);
    EXPECT_EQ(result.Height(), 40);
    rotate.Degrees = 45;
    rotate.ApplyOnDest(source, result);
    EXPECT_GT(result.Width(), 40);
    EXPECT_EQ(result.ReadPixel(0, 0), 0x00FF00u);
    EXPECT_EQ(result.ReadPixel(result.Width() / 2, result.Height() / 2), 0u);
}

TEST(FlipTransforms, MirrorAndFlipMovePixelsAndCopyThinPictures) {
    TDibGraphic source, result;
    FillPattern(source, 5, 4, ifColor16);
    TFlipHorizontalTransform mirror;
    mirror.ApplyOnDest(source, result);
    EXPECT_EQ(result.ReadPixelIndex(4, 1), source.ReadPixelIndex(0, 1));
    TFlipVerticalTransform flip;
    flip.ApplyOnDest(source, result);
    EXPECT_EQ(result.ReadPixelIndex(2, 3), source.ReadPixelIndex(2, 0));
    TDibGraphic thin;
    FillPattern(thin, 1, 6);
    mirror.ApplyOnDest(thin, result);
    EXPECT_TRUE(SamePixels(thin, result));
}

struct HslCase {
    const char* name;
    TColor color;
    float h, s, l;
};

class HslTest : public ::testing::TestWithParam<HslCase> {};

TEST_P(HslTest, ConvertsBothWays) {
    THsl hsl = RgbToHsl(GetParam().color);
    EXPECT_NEAR(hsl.h, GetParam().h, 1e-6);
    EXPECT_NEAR(hsl.s, GetParam().s, 1e-6);
    EXPECT_NEAR(hsl.l, GetParam().l, 1e-6);
    EXPECT_EQ(HslToRgb(hsl.h, hsl.s, hsl.l), GetParam().color);
}

INSTANTIATE_TEST_SUITE_P(Colours, HslTest,
                         ::testing::Values(HslCase{"Red", 0xFF0000, 1.0f, 1.0f, 0.5f},
                                           HslCase{"Green", 0x00FF00, 1.0f / 3, 1.0f, 0.5f},
                                           HslCase{"Blue", 0x0000FF, 2.0f / 3, 1.0f, 0.5f},
                                           HslCase{"Gray", 0x808080, -1.0f, 0.0f, 256.0f / 510},
                                           HslCase{"Orange", 0xFF8000, 128.0f / 255 / 6, 1.0f, 0.5f},
                                           HslCase{"DarkTeal", 0x204060, 7.0f / 12, 0.5f, 0.25098f}),
                         [](const auto& info) { return std::string(info.param.name); });

struct PixelCase {
    const char* name;
    std::function<std::unique_ptr<TImageTransform>()> make;
    TColor input;
    TColor expected;
};

class PixelTransformTest : public ::testing::TestWithParam<PixelCase> {};

TEST_P(PixelTransformTest, MapsAUniformPicture) {
    TDibGraphic picture;
    FillColor(picture, 4, 4, GetParam().input);
    GetParam().make()->Apply(picture);
    EXPECT_EQ(picture.ReadPixel(1, 2), GetParam().expected);
}

template <typename T> std::function<std::unique_ptr<TImageTransform>()> Make(std::function<void(T&)> setup) {
    return [setup] {
        auto t = std::make_unique<T>();
        setup(*t);
        return t;
    };
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PixelTransformTest,
    ::testing::Values(
        PixelCase{"BrightenBlack", Make<TBrightnessTransform>([](auto&) {}), 0x000000, 0x0D0D0D},
        PixelCase{"BrightenWhite", Make<TBrightnessTransform>([](auto&) {}), 0xFFFFFF, 0xFFFFFF},
        PixelCase{"DarkenBlack", Make<TBrightnessTransform>([](auto& t) { t.SetAmount(-500); }), 0x000000, 0},
        PixelCase{"ContrastMidGray", Make<TContrastTransform>([](auto&) {}), 0x7F7F7F, 0x7F7F7F},
        PixelCase{"ContrastWhite", Make<TContrastTransform>([](auto&) {}), 0xFFFFFF, 0xFFFFFF},
        PixelCase{"LessContrastBlack", Make<TContrastTransform>([](auto& t) { t.Stronger = false; }), 0, 0},
        PixelCase{"ContrastDarkens", Make<TContrastTransform>([](auto&) {}), 0x404040, 0x333333},
        PixelCase{"Gamma2", Make<TGammaTransform>([](auto& t) { t.SetGammaValue(2.0); }), 0x400000, 0x800000},
        PixelCase{"Gamma1", Make<TGammaTransform>([](auto&) {}), 0x123456, 0x123456},
        PixelCase{"GrayOfRed", Make<TConvertToGrayTransform>([](auto&) {}), 0xFF0000, 0x4C4C4C},
        PixelCase{"GrayOfWhite", Make<TConvertToGrayTransform>([](auto&) {}), 0xFFFFFF, 0xFFFFFF},
        PixelCase{"SharpenUniform", Make<TSharpenTransform>([](auto&) {}), 0x336699, 0x336699},
        PixelCase{"SoftenUniform", Make<TSmoothTransform>([](auto&) {}), 0x336699, 0x336699},
        PixelCase{"Negative", Make<TNegativeTransform>([](auto&) {}), 0x336699, 0xCC9966}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ColorTransforms, SettersClamp) {
    TGammaTransform gamma;
    gamma.SetGammaValue(9);
    EXPECT_EQ(gamma.GammaValue(), 7.0);
    gamma.SetGammaValue(0);
    EXPECT_EQ(gamma.GammaValue(), 0.1);
    TBrightnessTransform brightness;
    brightness.SetAmount(-250);
    EXPECT_EQ(brightness.Amount(), -100.0);
}

TEST(ConvolutionTransform, SharpenStrengthGivesKernelAndSmallPicturesAreCopied) {
    TDibGraphic source, result;
    FillPattern(source, 2, 2, ifColor16);
    TSharpenTransform sharpen;
    sharpen.ApplyOnDest(source, result);
    EXPECT_EQ(result.ImageFormat(), ifColor16);
    EXPECT_EQ(sharpen.Kernel[1][1], 37);
    EXPECT_EQ(sharpen.KernelDivisor, 25);
    TSmoothTransform smooth;
    smooth.ApplyOnDest(source, result);
    EXPECT_EQ(smooth.Kernel[1][1], 35);
    EXPECT_EQ(smooth.KernelDivisor, 47);
}

TEST(ConvolutionTransform, KeepsTheFrameAndSharpensAnEdge) {
    TDibGraphic source, result;
    source.NewImage(6, 3, ifGray256);
    for (int y = 0; y < 3; ++y)
        for (int x = 3; x < 6; ++x)
            source.WritePixel(x, y, 0xC8C8C8);
    TSharpenTransform sharpen;
    sharpen.ApplyOnDest(source, result);
    EXPECT_EQ(result.ImageFormat(), ifRgb24);
    EXPECT_EQ(result.ReadPixel(0, 0), 0u);
    EXPECT_EQ(result.ReadPixel(2, 1), 0u);        // negative sum clamps to 0
    EXPECT_EQ(result.ReadPixel(3, 1), 0xE8E8E8u); // 200·(37 - 2 - 2 - 4) div 25 = 232
}

TEST(CropAndAntiAlias, CutAndCount) {
    TDibGraphic source, result;
    FillPattern(source, 10, 8);
    TCropTransform crop;
    crop.SetMargins(2, 1, 3, 4);
    crop.ApplyOnDest(source, result);
    EXPECT_EQ(result.Width(), 5);
    EXPECT_EQ(result.Height(), 3);
    EXPECT_EQ(result.ReadPixel(0, 0), source.ReadPixel(2, 1));
    crop.SetRectangle(5, 5, 5, 8);
    EXPECT_THROW(crop.ApplyOnDest(source, result), EImageError);
    TDibGraphic bw;
    bw.NewImage(4, 4, ifBlackWhite);
    bw.WritePixel(0, 0, 0xFFFFFF);
    TAntiAliasTransform aa;
    aa.TargetWidth = aa.TargetHeight = 2;
    aa.ApplyOnDest(bw, result);
    EXPECT_EQ(result.ReadPixelIndex(0, 0), 64); // 3 of 4 black: 255 - 765 div 4
    EXPECT_EQ(result.ReadPixelIndex(1, 1), 0);
}

TEST(ImageTransform, ProgressAndMissingApplyOnDest) {
    struct Bare : TImageTransform {
        std::string ClassName() const override { return "TBare"; }
    } bare;
    TDibGraphic a, b;
    try {
        bare.ApplyOnDest(a, b);
        FAIL();
    } catch (const EImageError& e) {
        EXPECT_STREQ(e.what(), "Method \"ApplyOnDest\" not implemented for TBare class");
    }
    FillPattern(a, 10, 50);
    TGammaTransform gamma;
    std::vector<int> seen;
    gamma.OnProgress = [&](uint8_t p) { seen.push_back(p); };
    gamma.ApplyOnDest(a, b);
    gamma.ApplyOnDest(a, b);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 0), 2);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 100), 2);
}

} // namespace
} // namespace vistrel
