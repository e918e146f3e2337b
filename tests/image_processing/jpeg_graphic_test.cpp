#include "image_processing/graphic_registry.h"
#include "image_processing/jpeg_graphic.h"
#include "image_test_util.h"
#include "support/test_support.h"

#include <cstring>

namespace vistrel {
namespace {

using testing::FillPattern;
using testing::View;

ByteBuffer EncodeJpeg(TDibGraphic& source, int quality = 90) {
    TJpegGraphic jpeg;
    jpeg.CopyFromGraphic(&source);
    jpeg.Quality = uint8_t(quality);
    ByteBuffer out;
    jpeg.WriteToStream(out);
    return out;
}

int MaxChannelDifference(const TDibGraphic& a, const TDibGraphic& b) {
    int worst = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            for (int c = 0; c < 24; c += 8)
                worst = std::max(worst, std::abs(int((a.ReadPixel(x, y) >> c) & 0xFF) -
                                                 int((b.ReadPixel(x, y) >> c) & 0xFF)));
    return worst;
}

TEST(JpegGraphic, WritesJfifWithDotsPerInchAndReadsBack) {
    TDibGraphic source;
    source.NewImage(2000, 1500, ifRgb24, nullptr, 180, 180);
    ByteBuffer bytes = EncodeJpeg(source, 75);
    TJpegGraphic reader;
    EXPECT_TRUE(reader.IsValidStream(View(bytes)));
    EXPECT_EQ(bytes[13], 1); // density unit: dots per inch
    EXPECT_EQ(bytes[14] << 8 | bytes[15], 180);
    reader.ReadFromStream(View(bytes));
    EXPECT_EQ(reader.Width(), 2000);
    EXPECT_EQ(reader.ImageFormat(), ifRgb24);
    EXPECT_EQ(reader.XDotsPerInch(), 180);
}

TEST(JpegGraphic, ColourAndGrayRoundTripClosely) {
    for (TImageFormat format : {ifRgb24, ifGray256}) {
        // Smooth gradients: sharp colour edges would suffer from the halved chroma resolution.
        TDibGraphic source;
        source.NewImage(37, 21, format);
        for (int y = 0; y < 21; ++y)
            for (int x = 0; x < 37; ++x)
                source.WritePixel(x, y, TColor(x * 6) << 16 | TColor(y * 10) << 8 | 128);
        TJpegGraphic reader;
        reader.ReadFromStream(View(EncodeJpeg(source, 100)));
        EXPECT_EQ(reader.ImageFormat(), format);
        EXPECT_LE(MaxChannelDifference(source, reader), 8);
    }
}

TEST(JpegGraphic, RedAndBlueKeepTheirPlaces) {
    TDibGraphic source;
    testing::FillColor(source, 16, 16, 0xFF0000);
    TJpegGraphic reader;
    reader.ReadFromStream(View(EncodeJpeg(source)));
    TColor c = reader.ReadPixel(8, 8);
    EXPECT_GT((c >> 16) & 0xFF, 240u);
    EXPECT_LT(c & 0xFF, 15u);
}

struct DensityCase {
    const char* name;
    uint8_t unit;
    uint16_t density;
    int dpi;
};

class JpegDensityTest : public ::testing::TestWithParam<DensityCase> {};

TEST_P(JpegDensityTest, JfifDensityBecomesDotsPerInch) {
    TDibGraphic source;
    source.NewImage(8, 8, ifGray256);
    ByteBuffer bytes = EncodeJpeg(source);
    bytes[13] = GetParam().unit;
    bytes[14] = bytes[16] = uint8_t(GetParam().density >> 8);
    bytes[15] = bytes[17] = uint8_t(GetParam().density);
    TJpegGraphic reader;
    reader.ReadFromStream(View(bytes));
    EXPECT_EQ(reader.XDotsPerInch(), GetParam().dpi);
    EXPECT_EQ(reader.YDotsPerInch(), GetParam().dpi);
}

INSTANTIATE_TEST_SUITE_P(Units, JpegDensityTest,
                         ::testing::Values(DensityCase{"PerInch", 1, 300, 300},
                                           DensityCase{"PerCentimetre28", 2, 28, 71},
                                           DensityCase{"NoUnit", 0, 1, ScreenDotsPerInch}),
                         [](const auto& info) { return std::string(info.param.name); });

// A row encoder given up halfway (a stopped import) after its output outgrew the first buffer
// frees what it holds exactly once; one run to the end gives the same file as the whole-picture
// writer.
TEST(JpegRowEncoder, AbandonedOrFinishedAfterTheOutputGrew) {
    const int width = 1200, height = 400;
    std::vector<uint8_t> row(size_t(width) * 3);
    uint32_t noise = 12345;
    auto fillRow = [&] {
        for (uint8_t& byte : row)
            byte = uint8_t((noise = noise * 1103515245u + 12345u) >> 24);
    };
    {
        TJpegRowEncoder encoder(width, height, ifRgb24, {95});
        for (int y = 0; y < height / 2; ++y) {
            fillRow();
            encoder.WriteRow(row.data());
        }
    }
    TDibGraphic source;
    source.NewImage(width, height, ifRgb24);
    TJpegRowEncoder encoder(width, height, ifRgb24,
                            {95, false, false, source.XDotsPerInch(), source.YDotsPerInch()});
    for (int y = 0; y < height; ++y) {
        fillRow();
        std::memcpy(source.ScanLine(y), row.data(), row.size());
        encoder.WriteRow(row.data());
    }
    ByteBuffer whole = EncodeJpeg(source, 95);
    EXPECT_GT(whole.size(), size_t(1) << 18); // grew several times past its first buffer
    EXPECT_EQ(encoder.Finish(), whole);
}

TEST(JpegGraphic, RefusesPaletteFormats) {
    TJpegGraphic jpeg;
    jpeg.NewImage(4, 4, ifColor256);
    ByteBuffer out;
    try {
        jpeg.WriteToStream(out);
        FAIL();
    } catch (const EJpegError& e) {
        EXPECT_STREQ(e.what(), "JPEG image must be gray scale or true color");
    }
}

TEST(JpegGraphic, QualityAndProgressiveChangeTheFile) {
    TDibGraphic source;
    FillPattern(source, 64, 48);
    TJpegGraphic jpeg;
    jpeg.CopyFromGraphic(&source);
    ByteBuffer q90, q60, progressive;
    jpeg.Quality = 90;
    jpeg.WriteToStream(q90);
    jpeg.Quality = 60;
    jpeg.WriteToStream(q60);
    jpeg.Progressive = true;
    jpeg.WriteToStream(progressive);
    EXPECT_GT(q90.size(), q60.size());
    auto hasMarker = [](const ByteBuffer& b, uint8_t marker) {
        for (size_t i = 0; i + 1 < b.size(); ++i)
            if (b[i] == 0xFF && b[i + 1] == marker) return true;
        return false;
    };
    EXPECT_TRUE(hasMarker(q60, 0xC0));
    EXPECT_TRUE(hasMarker(progressive, 0xC2));
    TJpegGraphic reader;
    reader.ReadFromStream(View(progressive));
    EXPECT_EQ(reader.Height(), 48);
}

TEST(JpegGraphic, BrokenFilesGiveErrorsNotCrashes) {
    TDibGraphic source;
    FillPattern(source, 40, 40);
    ByteBuffer good = EncodeJpeg(source);
    TJpegGraphic reader;
    // Cut short: libjpeg warns and pads; the picture is read as far as it goes.
    ByteBuffer truncated(good.begin(), good.begin() + good.size() / 2);
    reader.ReadFromStream(View(truncated));
    EXPECT_EQ(reader.Width(), 40);
    EXPECT_GT(reader.WarningCount(), 0);
    // No JPEG at all: libjpeg's own message.
    ByteBuffer garbage = {'G', 'I', 'F', '8', '9', 'a', 0, 0};
    try {
        reader.ReadFromStream(View(garbage));
        FAIL();
    } catch (const EJpegError& e) {
        EXPECT_NE(std::string(e.what()).find("JPEG"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(reader.IsEmpty());
    EXPECT_THROW(reader.ReadFromStream(ByteView()), EJpegError);
}

TEST(JpegGraphic, HugeDimensionsAreRefusedBeforeDecoding) {
    TDibGraphic source;
    source.NewImage(16, 16, ifRgb24);
    ByteBuffer bytes = EncodeJpeg(source);
    // Rewrite the frame header to 60000 x 60000.
    for (size_t i = 0; i + 8 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
            bytes[i + 5] = bytes[i + 7] = 0xEA;
            bytes[i + 6] = bytes[i + 8] = 0x60;
            break;
        }
    TJpegGraphic reader;
    EXPECT_THROW(reader.ReadFromStream(View(bytes)), EImageError);
}

TEST(JpegGraphic, ReportsProgressFromZeroTo100) {
    TDibGraphic source;
    FillPattern(source, 20, 300);
    std::vector<int> seen;
    TJpegGraphic jpeg;
    jpeg.CopyFromGraphic(&source);
    jpeg.OnProgress = [&](uint8_t p) { seen.push_back(p); };
    ByteBuffer out;
    jpeg.WriteToStream(out);
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen.front(), 0);
    EXPECT_EQ(seen.back(), 100);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
}

TEST(LoadPictureFile, ReadsThroughTheRegistryAndLeavesEmptyOnFailure) {
    testing::TempDir dir;
    TDibGraphic source;
    FillPattern(source, 30, 20);
    TJpegGraphic jpeg;
    jpeg.CopyFromGraphic(&source);
    jpeg.WriteToFile(dir / "bild.JPG");
    TDibGraphic picture;
    int last = -1;
    LoadPictureFile(
        dir / "bild.JPG", 1, [&](uint8_t p) { last = p; }, picture);
    EXPECT_EQ(picture.Width(), 30);
    EXPECT_EQ(last, 100);
    testing::WriteBytes(dir / "kaputt.jpg", "not a picture");
    EXPECT_THROW(LoadPictureFile(dir / "kaputt.jpg", 1, nullptr, picture), EImageError);
    EXPECT_TRUE(picture.IsEmpty());
    EXPECT_THROW(LoadPictureFile(dir / "missing.jpg", 1, nullptr, picture), EImageError);
}

} // namespace
} // namespace vistrel
