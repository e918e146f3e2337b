#include "image_processing/bitmap_graphic.h"
#include "image_processing/graphic_registry.h"
#include "image_processing/png_graphic.h"
#include "image_processing/side_formats.h"
#include "image_processing/tiff_graphic.h"
#include "image_test_util.h"
#include "support/test_support.h"

#include <fstream>

namespace vistrel {
namespace {

using testing::FillPattern;
using testing::SamePixels;
using testing::View;

const std::filesystem::path dataDir = std::filesystem::path(VISTREL_TEST_DATA) / "image_processing";

// The 4 x 3 picture every fixture under tests/data/image_processing was made from by ImageMagick.
const TColor expected[3][4] = {{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF},
                               {0x000000, 0x808080, 0xFFFF00, 0x00FFFF},
                               {0xFF00FF, 0x0A141E, 0xC86432, 0x404040}};

struct FixtureCase {
    const char* file;
    int tolerance; // per channel; 0 for lossless formats
};

class OtherEncoderTest : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(OtherEncoderTest, ReadsThePicture) {
    TDibGraphic picture;
    LoadPictureFile(dataDir / GetParam().file, 1, nullptr, picture);
    ASSERT_EQ(picture.Width(), 4);
    ASSERT_EQ(picture.Height(), 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            for (int shift = 0; shift < 24; shift += 8)
                ASSERT_NEAR(int((picture.ReadPixel(x, y) >> shift) & 0xFF),
                            int((expected[y][x] >> shift) & 0xFF), GetParam().tolerance)
                    << "pixel " << x << ", " << y;
}

INSTANTIATE_TEST_SUITE_P(Files, OtherEncoderTest,
                         ::testing::Values(FixtureCase{"rgb.png", 0}, FixtureCase{"rgb16_interlaced.png", 0},
                                           FixtureCase{"palette.png", 0}, FixtureCase{"rgb24.bmp", 0},
                                           FixtureCase{"palette8.bmp", 0}, FixtureCase{"rle8.bmp", 0},
                                           FixtureCase{"rgba32.bmp", 0}, FixtureCase{"first.gif", 0},
                                           FixtureCase{"lzw.tif", 0}, FixtureCase{"plain.tif", 0},
                                           FixtureCase{"rgb.pcx", 0}, FixtureCase{"palette.pcx", 0},
                                           FixtureCase{"binary.ppm", 0}, FixtureCase{"ascii.ppm", 0},
                                           FixtureCase{"icon.ico", 0}, FixtureCase{"im.jpg", 24},
                                           FixtureCase{"im_progressive.jpg", 24}),
                         [](const auto& info) {
                             std::string name = info.param.file;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

TEST(PpmGraphic, BitmapAndGraymapVariants) {
    TDibGraphic picture;
    LoadPictureFile(dataDir / "bitmap.pbm", 1, nullptr, picture);
    ASSERT_EQ(picture.ImageFormat(), ifBlackWhite);
    EXPECT_EQ(picture.ReadPixel(0, 0), 0u); // 1 is black
    EXPECT_EQ(picture.ReadPixel(1, 0), 0xFFFFFFu);
    EXPECT_EQ(picture.ReadPixel(1, 1), 0u);
    LoadPictureFile(dataDir / "gray.pgm", 1, nullptr, picture);
    ASSERT_EQ(picture.ImageFormat(), ifGray256);
    EXPECT_EQ(picture.ReadPixel(3, 0), 0xFFFFFFu);
    EXPECT_EQ(picture.ReadPixel(0, 1), 0u);
}

// Our own writers against our readers: every format the writer takes must come back unchanged.
struct RoundTripCase {
    const char* name;
    std::function<std::unique_ptr<TDibGraphic>()> make;
    TImageFormat format;
};

class RoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTripTest, WriteThenReadKeepsEveryPixel) {
    TDibGraphic source;
    FillPattern(source, 21, 9, GetParam().format);
    source.SetPelsPerMeter(2835, 2835);
    auto writer = GetParam().make();
    writer->CopyFromGraphic(&source);
    ByteBuffer bytes;
    writer->WriteToStream(bytes);
    auto reader = GetParam().make();
    reader->ReadFromStream(View(bytes));
    EXPECT_TRUE(SamePixels(source, *reader));
    EXPECT_EQ(reader->XDotsPerInch(), 72);
}

template <typename T> std::function<std::unique_ptr<TDibGraphic>()> Make() {
    return [] { return std::make_unique<T>(); };
}

INSTANTIATE_TEST_SUITE_P(Formats, RoundTripTest,
                         ::testing::Values(RoundTripCase{"BmpRgb", Make<TBitmapGraphic>(), ifRgb24},
                                           RoundTripCase{"BmpColor16", Make<TBitmapGraphic>(), ifColor16},
                                           RoundTripCase{"BmpBlackWhite", Make<TBitmapGraphic>(),
                                                         ifBlackWhite},
                                           RoundTripCase{"BmpColor256", Make<TBitmapGraphic>(), ifColor256},
                                           RoundTripCase{"PngRgb", Make<TPngGraphic>(), ifRgb24},
                                           RoundTripCase{"PngColor16", Make<TPngGraphic>(), ifColor16},
                                           RoundTripCase{"TiffRgb", Make<TTiffGraphic>(), ifRgb24},
                                           RoundTripCase{"TiffColor256", Make<TTiffGraphic>(), ifColor256},
                                           RoundTripCase{"TiffGray", Make<TTiffGraphic>(), ifGray256}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SideWriters, TargaAndNetpbmRoundTrip) {
    for (TImageFormat format : {ifRgb24, ifGray256, ifColor256}) {
        TDibGraphic source;
        FillPattern(source, 13, 5, format);
        TTgaGraphic tga;
        tga.CopyFromGraphic(&source);
        ByteBuffer bytes;
        tga.WriteToStream(bytes);
        TTgaGraphic back;
        back.ReadFromStream(View(bytes));
        EXPECT_TRUE(SamePixels(source, back));
    }
    TTgaGraphic tga;
    tga.NewImage(2, 2, ifColor16);
    ByteBuffer bytes;
    EXPECT_THROW(tga.WriteToStream(bytes), EImageError);
    for (TImageFormat format : {ifRgb24, ifGray256, ifBlackWhite})
        for (bool ascii : {false, true}) {
            TDibGraphic source;
            FillPattern(source, 11, 4, format);
            TPpmGraphic ppm;
            ppm.Ascii = ascii;
            ppm.CopyFromGraphic(&source);
            ppm.WriteToStream(bytes);
            TPpmGraphic back;
            back.ReadFromStream(View(bytes));
            EXPECT_TRUE(SamePixels(source, back)) << format << " ascii " << ascii;
        }
}

TEST(PngGraphic, GammaChunkWithoutSrgbIsCorrectedForExponentTwo) {
    // gAMA 1/2.2 shown on a display of exponent 2.0: 128 becomes 255·(128/255)^(2.2/2) = 119.6.
    TDibGraphic picture;
    LoadPictureFile(dataDir / "gamma.png", 1, nullptr, picture);
    EXPECT_NEAR(int(picture.ReadPixel(1, 1) & 0xFF), 119, 1);
    EXPECT_EQ(picture.ReadPixel(0, 0), 0xFF0000u);
}

TEST(TgaGraphic, ReadsRunLengthPacketsAndTopDownOrigin) {
    // 3 x 2, 24 bits, RLE, top-left origin: a run of three red pixels, then three raw ones.
    ByteBuffer tga = {0,  0,    10,   0, 0, 0,   0,    0,   0, 0, 0, 0,   3, 0, 2, 0,
                      24, 0x20, 0x82, 0, 0, 255, 0x02, 255, 0, 0, 0, 255, 0, 1, 2, 3};
    TTgaGraphic reader;
    reader.ReadFromStream(View(tga));
    EXPECT_EQ(reader.ReadPixel(2, 0), 0xFF0000u);
    EXPECT_EQ(reader.ReadPixel(0, 1), 0x0000FFu);
    EXPECT_EQ(reader.ReadPixel(2, 1), 0x030201u);
}

struct BadFileCase {
    const char* name;
    const char* extension;
    std::string bytes;
};

class BadFileTest : public ::testing::TestWithParam<BadFileCase> {};

TEST_P(BadFileTest, GivesAnErrorAndAnEmptyPicture) {
    testing::TempDir dir;
    auto path = dir / (std::string("bad.") + GetParam().extension);
    testing::WriteBytes(path, GetParam().bytes);
    TDibGraphic picture;
    picture.NewImage(2, 2, ifRgb24);
    EXPECT_THROW(LoadPictureFile(path, 1, nullptr, picture), EImageError);
    EXPECT_TRUE(picture.IsEmpty());
}

std::string Truncated(const char* fixture, size_t keep) {
    std::ifstream in(dataDir / fixture, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return bytes.substr(0, keep);
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadFileTest,
    ::testing::Values(
        BadFileCase{"PngNamedJpeg", "jpg", Truncated("rgb.png", 1000)},
        BadFileCase{"JpegNamedPng", "png", Truncated("im.jpg", 1000)},
        BadFileCase{"TruncatedPng", "png", Truncated("rgb.png", 60)},
        BadFileCase{"TruncatedBmp", "bmp", Truncated("rgb24.bmp", 70)},
        BadFileCase{"TruncatedTiff", "tif", Truncated("lzw.tif", 100)},
        BadFileCase{"TruncatedGif", "gif", Truncated("first.gif", 20)},
        BadFileCase{"TruncatedIcon", "ico", Truncated("icon.ico", 30)},
        BadFileCase{"TruncatedTarga", "tga", Truncated("plain.tga", 10)},
        BadFileCase{"TruncatedPpm", "ppm", Truncated("binary.ppm", 40)},
        BadFileCase{"PpmBadMaxValue", "ppm", "P6 1 1 0\n\1\2\3"},
        BadFileCase{
            "HugeBmp", "bmp",
            std::string("BM\0\0\0\0\0\0\0\0\66\0\0\0(\0\0\0\377\377\0\0\377\377\0\0\1\0\30\0\0\0\0\0", 34) +
                std::string(20, '\0')},
        BadFileCase{"HugePpm", "ppm", "P6 60000 60000 255\n"},
        BadFileCase{"EpsWithoutPreview", "eps", std::string("\xC5\xD0\xD3\xC6", 4) + std::string(26, '\0')},
        BadFileCase{"Metafile", "wmf", std::string("\xD7\xCD\xC6\x9A", 4) + std::string(20, '\0')},
        BadFileCase{"UnknownExtension", "xyz", "data"},
        BadFileCase{"PcxHugeLineLength", "pcx", Truncated("pcx_huge_line_length.pcx", 100000)},
        BadFileCase{"EmptyDcx", "dcx", std::string("\xB1\x68\xDE\x3A\0\0\0\0", 8)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DcxAndEps, ContainersReadTheirPictures) {
    std::ifstream in(dataDir / "rgb.pcx", std::ios::binary);
    std::string pcx((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string dcx("\xB1\x68\xDE\x3A", 4);
    dcx += std::string("\x0C\0\0\0", 4) + std::string(4, '\0') + pcx;
    TDcxGraphic reader;
    ByteView view(reinterpret_cast<const uint8_t*>(dcx.data()), dcx.size());
    EXPECT_EQ(reader.ImageCount(view), 1);
    reader.ReadFromStream(view);
    EXPECT_EQ(reader.ReadPixel(0, 0), 0xFF0000u);

    TDibGraphic source;
    FillPattern(source, 6, 5);
    TTiffGraphic tiff;
    tiff.CopyFromGraphic(&source);
    ByteBuffer preview;
    tiff.WriteToStream(preview);
    ByteBuffer eps = {0xC5, 0xD0, 0xD3, 0xC6};
    eps.resize(30, 0);
    eps[20] = 30;
    eps[24] = uint8_t(preview.size()), eps[25] = uint8_t(preview.size() >> 8);
    eps.insert(eps.end(), preview.begin(), preview.end());
    TEPSGraphic reader2;
    reader2.ReadFromStream(View(eps));
    EXPECT_TRUE(SamePixels(source, reader2));
}

TEST(BitmapGraphic, WritesTheDocumentedHeaderAndLoadsPackedDibs) {
    TBitmapGraphic bmp;
    bmp.NewImage(3, 2, ifColor16);
    ByteBuffer bytes;
    bmp.WriteToStream(bytes);
    EXPECT_EQ(bytes[10], 54 + 4 * 16); // pixel offset
    EXPECT_EQ(bytes.size(), 54u + 64 + 8);
    TDibGraphic fromDib;
    fromDib.LoadFromPackedDib(ByteView(bytes).subspan(14));
    EXPECT_EQ(fromDib.ImageFormat(), ifColor16);
    EXPECT_EQ(fromDib.Width(), 3);
}

} // namespace
} // namespace vistrel
