#include "image_processing/parallel_for.h"
#include "image_processing/resize_transform.h"
#include "image_test_util.h"

#include <cmath>

namespace vistrel {
namespace {

using testing::FillColor;
using testing::FillPattern;
using testing::SamePixels;

TResizeTransform Resampling(int width, int height, TResampleFilter filter) {
    TResizeTransform t;
    t.TargetWidth = width;
    t.TargetHeight = height;
    t.Resample = true;
    t.ResampleFilter = filter;
    return t;
}

TEST(ResampleFilters, ValuesAtKnownPoints) {
    EXPECT_FLOAT_EQ(FilterValue(sfTriangle, 0.25f), 0.75f);
    EXPECT_FLOAT_EQ(FilterValue(sfHermite, 0.5f), 0.5f);
    EXPECT_FLOAT_EQ(FilterValue(sfBell, 1.0f), 0.125f);
    EXPECT_FLOAT_EQ(FilterValue(sfBSpline, 0.0f), 2.0f / 3.0f);
    EXPECT_FLOAT_EQ(FilterValue(sfMitchell, 0.0f), 8.0f / 9.0f);
    EXPECT_FLOAT_EQ(FilterValue(sfLanczos3, 0.0f), 1.0f);
    EXPECT_NEAR(FilterValue(sfLanczos3, 1.0f), 0.0f, 1e-6);
    EXPECT_EQ(FilterValue(sfLanczos3, 3.0f), 0.0f);
    EXPECT_EQ(FilterSupport(sfLanczos3), 3.0f);
}

TEST(ResampleContributors, ReductionStretchesTheFilterAndMirrorsEdges) {
    float scale = ResampleScale(120, 2000);
    EXPECT_FLOAT_EQ(scale, 119.0f / 1999.0f);
    TContributorTable table = BuildContributors(120, 2000, scale, sfLanczos3);
    // About 2·3/scale + 1 = 101 source columns for an inner destination column.
    EXPECT_NEAR(double(table.Count(60)), 101.0, 2.0);
    for (int32_t index : table.index) {
        ASSERT_GE(index, 0);
        ASSERT_LT(index, 2000);
    }
    // The first column's window reaches left of the picture: -j is used instead.
    TContributorTable small = BuildContributors(4, 2, ResampleScale(4, 2), sfTriangle);
    EXPECT_EQ(small.Count(0), 1u);
    EXPECT_EQ(small.index[0], 0);
}

TEST(ResizeTransform, SameSizeLanczosKeepsEveryPixel) {
    TDibGraphic source, result;
    FillPattern(source, 41, 23);
    auto t = Resampling(41, 23, sfLanczos3);
    t.ApplyOnDest(source, result);
    EXPECT_TRUE(SamePixels(source, result));
}

TEST(ResizeTransform, ConstantPictureStaysConstantForEveryFilter) {
    TDibGraphic source;
    FillColor(source, 49, 37, 0x4080C0);
    for (int f = sfTriangle; f <= sfMitchell; ++f) {
        SCOPED_TRACE(f);
        TDibGraphic result;
        Resampling(17, 13, TResampleFilter(f)).ApplyOnDest(source, result);
        // Weights are not normalised; at a scale of exactly 1/3 they still sum to nearly 1.
        for (int y = 2; y < 11; ++y)
            for (int x = 2; x < 15; ++x) {
                TColor c = result.ReadPixel(x, y);
                ASSERT_NEAR(int((c >> 16) & 0xFF), 0x40, 2);
                ASSERT_NEAR(int(c & 0xFF), 0xC0, 2);
            }
    }
}

TEST(ResizeTransform, OnePixelSourceEnlargesWithTriangle) {
    TDibGraphic source, result;
    FillColor(source, 1, 1, 0x336699);
    Resampling(10, 10, sfTriangle).ApplyOnDest(source, result);
    EXPECT_EQ(result.Width(), 10);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            ASSERT_EQ(result.ReadPixel(x, y), 0x336699u);
}

struct TooSmallCase {
    const char* name;
    int sourceWidth, sourceHeight, width, height;
    const char* message;
};

class ResizeTooSmallTest : public ::testing::TestWithParam<TooSmallCase> {};

TEST_P(ResizeTooSmallTest, IsRefused) {
    const TooSmallCase& c = GetParam();
    TDibGraphic source, result;
    if (c.sourceWidth > 0) FillColor(source, c.sourceWidth, c.sourceHeight, 0);
    auto t = Resampling(c.width, c.height, sfLanczos3);
    try {
        t.ApplyOnDest(source, result);
        FAIL();
    } catch (const EImageError& e) {
        EXPECT_STREQ(e.what(), c.message);
    }
    // Through Apply the picture stays as it was.
    if (c.sourceWidth > 0) {
        EXPECT_THROW(t.Apply(source), EImageError);
        EXPECT_EQ(source.Width(), c.sourceWidth);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ResizeTooSmallTest,
    ::testing::Values(TooSmallCase{"OneWide", 10, 10, 1, 5, "Destination graphic too small"},
                      TooSmallCase{"PanoramaThumb", 4000, 100, 120, 1, "Destination graphic too small"},
                      TooSmallCase{"ZeroHigh", 10, 10, 5, 0, "Destination graphic too small"},
                      TooSmallCase{"EmptySource", 0, 0, 5, 5, "Source graphic too small"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ResizeTransform, KeepsFormatPaletteAndResolutionOrForcesFormat) {
    TDibGraphic source, result;
    FillPattern(source, 30, 30, ifGray256);
    source.SetXDotsPerInch(300);
    auto t = Resampling(10, 10, sfLanczos3);
    t.ApplyOnDest(source, result);
    EXPECT_EQ(result.ImageFormat(), ifGray256);
    EXPECT_EQ(result.XDotsPerInch(), 300);
    t.ForceFormat = true;
    t.ForcedFormat = ifRgb24;
    t.ApplyOnDest(source, result);
    EXPECT_EQ(result.ImageFormat(), ifRgb24);
    // Gray stays gray through the true-colour work image.
    TColor c = result.ReadPixel(5, 5);
    EXPECT_EQ(c & 0xFF, (c >> 16) & 0xFF);
}

TEST(ResizeTransform, ReducesLikeAnAverageAndMatchesAcrossThreads) {
    // Split over worker threads and computed on one thread, the result must agree to the byte.
    TDibGraphic source, big, single;
    FillPattern(source, 1000, 700);
    SetMaxWorkerThreads(4);
    Resampling(200, 150, sfLanczos3).ApplyOnDest(source, big);
    SetMaxWorkerThreads(1);
    Resampling(200, 150, sfLanczos3).ApplyOnDest(source, single);
    SetMaxWorkerThreads(8);
    EXPECT_TRUE(SamePixels(big, single));
    // The gradient in green runs top to bottom: the reduction keeps it.
    EXPECT_LT((big.ReadPixel(100, 10) >> 8) & 0xFF, (big.ReadPixel(100, 140) >> 8) & 0xFF);
}

TEST(ResizeTransform, ProgressRunsThroughTheFourPhasesInOrder) {
    TDibGraphic source, result;
    FillPattern(source, 300, 200);
    auto t = Resampling(100, 70, sfLanczos3);
    std::vector<int> seen;
    t.OnProgress = [&](uint8_t p) { seen.push_back(p); };
    t.ApplyOnDest(source, result);
    ASSERT_GE(seen.size(), 10u);
    EXPECT_EQ(seen.front(), 0);
    EXPECT_EQ(seen.back(), 100);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_TRUE(std::find(seen.begin(), seen.end(), 20) != seen.end() ||
                std::find(seen.begin(), seen.end(), 19) != seen.end());
}

TEST(ResizeTransform, ProgressHandlerMayAbort) {
    TDibGraphic source, result;
    FillPattern(source, 800, 800);
    auto t = Resampling(100, 100, sfLanczos3);
    t.OnProgress = [](uint8_t p) {
        if (p >= 30) throw std::runtime_error("cancelled");
    };
    EXPECT_THROW(t.Apply(source), std::runtime_error);
    EXPECT_EQ(source.Width(), 800);
}

TEST(ResizeTransform, UnresampledStretchRepeatsAndAverages) {
    TDibGraphic source, result;
    FillPattern(source, 3, 2, ifColor16);
    TResizeTransform t;
    t.TargetWidth = 6;
    t.TargetHeight = 4;
    t.ApplyOnDest(source, result);
    EXPECT_EQ(result.ReadPixelIndex(5, 3), source.ReadPixelIndex(2, 1));
    EXPECT_EQ(result.ReadPixelIndex(0, 1), source.ReadPixelIndex(0, 0));
    TDibGraphic checker;
    checker.NewImage(64, 64, ifRgb24);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            checker.WritePixel(x, y, (x + y) % 2 ? 0xFFFFFF : 0);
    t.TargetWidth = t.TargetHeight = 8;
    t.ApplyOnDest(checker, result);
    EXPECT_EQ(result.ReadPixel(3, 3), 0x808080u);
}

} // namespace
} // namespace vistrel
