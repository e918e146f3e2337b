#include "image_processing/dib_graphic.h"
#include "image_processing/graphic_registry.h"
#include "image_processing/jpeg_graphic.h"

#include <gtest/gtest.h>

namespace vistrel {
namespace {

struct StrideCase {
    const char* name;
    int width;
    TImageFormat format;
    uint32_t bytesPerRow;
};

class StrideTest : public ::testing::TestWithParam<StrideCase> {};

TEST_P(StrideTest, RowsArePaddedToFourBytes) {
    TDibGraphic g;
    g.NewImage(GetParam().width, 2, GetParam().format);
    EXPECT_EQ(g.BytesPerRow(), GetParam().bytesPerRow);
    EXPECT_EQ(g.ImageSize(), 2 * GetParam().bytesPerRow);
}

INSTANTIATE_TEST_SUITE_P(Formats, StrideTest,
                         ::testing::Values(StrideCase{"BlackWhite1", 1, ifBlackWhite, 4},
                                           StrideCase{"BlackWhite33", 33, ifBlackWhite, 8},
                                           StrideCase{"Gray16_9", 9, ifGray16, 8},
                                           StrideCase{"Color256_5", 5, ifColor256, 8},
                                           StrideCase{"Rgb3", 3, ifRgb24, 12},
                                           StrideCase{"Rgb4", 4, ifRgb24, 12}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DibGraphic, ScanLineZeroIsTheLastRowInMemory) {
    TDibGraphic g;
    g.NewImage(5, 10, ifGray256);
    EXPECT_EQ(g.ScanLine(0), g.Pixels() + 9 * g.BytesPerRow());
    EXPECT_EQ(g.ScanLine(9), g.Pixels());
}

TEST(DibGraphic, NewImageIsZeroedAndTakesDefaultPalette) {
    TDibGraphic g;
    g.NewImage(7, 3, ifColor16);
    for (size_t i = 0; i < g.ImageSize(); ++i)
        ASSERT_EQ(g.Pixels()[i], 0);
    EXPECT_EQ(g.Palette().size(), 16u);
    EXPECT_EQ(g.Palette()[6], 0xAA5500u);
    EXPECT_EQ(g.ReadPixel(6, 2), 0u);
}

TEST(DibGraphic, DefaultPalettes) {
    EXPECT_EQ(DefaultPalette(ifGray16)[3], 0x333333u);
    EXPECT_EQ(DefaultPalette(ifGray256)[200], 0xC8C8C8u);
    const TPalette& vga = DefaultPalette(ifColor256);
    ASSERT_EQ(vga.size(), 256u);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(vga[i], DefaultPalette(ifColor16)[i]);
    for (int i = 248; i < 256; ++i)
        EXPECT_EQ(vga[i], 0u);
    EXPECT_EQ(vga[31], 0xFFFFFFu);
    EXPECT_EQ(vga[32], 0x0000FFu);
}

TEST(DibGraphic, WritePixelMapsToNearestPaletteEntry) {
    TDibGraphic g;
    g.NewImage(2, 1, ifGray256);
    g.WritePixel(0, 0, 0xFFFFFF);
    g.WritePixel(1, 0, 0xFF0000);
    EXPECT_EQ(g.ReadPixelIndex(0, 0), 255);
    EXPECT_EQ(g.ReadPixelIndex(1, 0), 85);
}

TEST(DibGraphic, PixelAccessRoundTripsInEveryFormat) {
    for (int f = ifBlackWhite; f <= ifRgb24; ++f) {
        SCOPED_TRACE(f);
        TDibGraphic g;
        g.NewImage(9, 3, TImageFormat(f));
        TColor white = 0xFFFFFF;
        g.WritePixel(8, 1, white);
        g.WritePixel(7, 1, 0x000000);
        EXPECT_EQ(g.ReadPixel(8, 1), white);
        EXPECT_EQ(g.ReadPixel(7, 1), 0u);
        EXPECT_EQ(g.ReadPixel(8, 0), 0u);
        EXPECT_EQ(g.ReadPixel(8, 2), 0u);
    }
}

TEST(DibGraphic, SubBytePixelsLieMostSignificantFirst) {
    TDibGraphic bw;
    bw.NewImage(8, 1, ifBlackWhite);
    bw.WritePixelIndex(0, 0, 1);
    bw.WritePixelIndex(3, 0, 7);
    EXPECT_EQ(bw.ScanLine(0)[0], 0x90);
    bw.WritePixelIndex(0, 0, 0);
    EXPECT_EQ(bw.ScanLine(0)[0], 0x10);
    TDibGraphic nibbles;
    nibbles.NewImage(3, 1, ifColor16);
    nibbles.WritePixelIndex(0, 0, 0xA);
    nibbles.WritePixelIndex(1, 0, 0x5);
    EXPECT_EQ(nibbles.ScanLine(0)[0], 0xA5);
}

TEST(DibGraphic, RgbPixelsAreBlueGreenRed) {
    TDibGraphic g;
    g.NewImage(1, 1, ifRgb24);
    g.WritePixel(0, 0, 0x123456);
    EXPECT_EQ(g.ScanLine(0)[0], 0x56);
    EXPECT_EQ(g.ScanLine(0)[2], 0x12);
    EXPECT_THROW(g.ReadPixelIndex(0, 0), EImageError);
}

TEST(DibGraphic, ResolutionIsKeptInPixelsPerMetre) {
    TDibGraphic g;
    g.NewImage(1, 1, ifRgb24, nullptr, 72, 300);
    EXPECT_EQ(g.XPelsPerMeter(), 2835);
    EXPECT_EQ(g.YPelsPerMeter(), 11811);
    EXPECT_EQ(g.XDotsPerInch(), 72);
    g.NewImage(1, 1, ifRgb24);
    EXPECT_EQ(g.XDotsPerInch(), ScreenDotsPerInch);
}

TEST(DibGraphic, RefusesBadFormatsAndSizes) {
    TDibGraphic g;
    EXPECT_THROW(g.NewImage(1, 1, TImageFormat(6)), EImageError);
    EXPECT_THROW(g.SetWidth(3), EImageError);
    EXPECT_THROW(g.NewImage(0, 5, ifRgb24), EImageError);
    // 1 GiB of pixels is the limit: 16384 x 21846 at 3 bytes is just above it.
    EXPECT_THROW(g.NewImage(16384, 21846, ifRgb24), EImageError);
    EXPECT_TRUE(g.IsEmpty());
    EXPECT_EQ(g.Width(), 0);
}

TEST(DibGraphic, CopyFromGraphicCopiesAndEmptySourceEmpties) {
    TDibGraphic source, copy;
    source.NewImage(3, 2, ifColor16, nullptr, 150, 150);
    source.WritePixelIndex(2, 1, 9);
    copy.CopyFromGraphic(&source);
    EXPECT_EQ(copy.ReadPixelIndex(2, 1), 9);
    EXPECT_EQ(copy.XPelsPerMeter(), source.XPelsPerMeter());
    TDibGraphic empty;
    copy.CopyFromGraphic(&empty);
    EXPECT_TRUE(copy.IsEmpty());
}

TEST(RgbToPaletteConverter, FirstOfEqualCandidatesWinsAndCacheHits) {
    TRgbToPaletteConverter converter({0x000000, 0x202020, 0x000000, 0x404040});
    EXPECT_EQ(converter.NearestIndex(0x101010), 0);
    EXPECT_EQ(converter.NearestIndex(0x101010), 0);
    EXPECT_EQ(converter.NearestIndex(0x3F3F3F), 3);
    EXPECT_EQ(converter.Hits(), 1u);
    // 0x101010 + 1020 shares its slot: the slot must not answer for a different colour.
    EXPECT_EQ(converter.NearestIndex(0x101010 + 1020), 0);
    EXPECT_EQ(converter.Misses(), 3u);
}

TEST(GraphicRegistry, FindsClassesByExtensionWithoutRegardToCase) {
    const TGraphicClass* jpeg = GraphicClassForFile("bild.JpEg");
    ASSERT_NE(jpeg, nullptr);
    EXPECT_EQ(jpeg->name, "TJpegGraphic");
    EXPECT_EQ(GraphicClassForFile("jpg")->name, "TJpegGraphic");
    EXPECT_EQ(GraphicClassForFile("/some/dir.d/Photo.JPG")->name, "TJpegGraphic");
    EXPECT_EQ(GraphicClassForFile("/some/dir.jpg/Photo"), nullptr);
    EXPECT_EQ(GraphicClassForFile("bild.gif"), nullptr);
    try {
        CreateGraphicForFile("bild.xyz");
        FAIL();
    } catch (const EImageError& e) {
        EXPECT_STREQ(e.what(), "Graphic files of .xyz format are not supported or not registered");
    }
}

} // namespace
} // namespace vistrel
