#include "image_processing/graphic_registry.h"
#include "image_processing/heif_graphic.h"
#include "image_processing/png_graphic.h"
#include "image_test_util.h"
#include "support/test_support.h"
#include "tool_fixtures.h"

#include <fstream>

namespace vistrel {
namespace {

using namespace vistrel::testing;

// Fixtures are encoded by heif-enc (HEVC) and avifenc (AV1); heif-convert decodes the lossy ones
// for reference and ImageMagick turns its PNG into a PPM. Lossless AVIF files must come back exact.
class HeifReader : public ::testing::Test {
protected:
    void SetUp() override {
        if (!RunTool("command -v heif-enc && command -v heif-convert && command -v avifenc && "
                     "test -x /usr/bin/convert"))
            GTEST_SKIP() << "libheif-examples, libavif-bin or imagemagick missing";
        FillPattern(source, 128, 128);
        TPngGraphic png;
        png.CopyFromGraphic(&source);
        png.WriteToFile(dir / "source.png");
    }
    std::unique_ptr<TDibGraphic> Load(const std::string& name) {
        return LoadPictureFile(dir / name, 1, nullptr);
    }
    std::unique_ptr<TDibGraphic> Reference(const std::string& name) {
        EXPECT_TRUE(RunTool("heif-convert " + Quoted(dir / name) + " " + Quoted(dir / "ref.png")));
        EXPECT_TRUE(RunTool("/usr/bin/convert " + Quoted(dir / "ref.png") +
                            " -background black -alpha remove -alpha off -depth 8 -strip " +
                            Quoted(dir / "ref.ppm")));
        return LoadPictureFile(dir / "ref.ppm", 1, nullptr);
    }
    TempDir dir;
    TDibGraphic source;
};

TEST_F(HeifReader, HeicAgreesWithHeifConvert) {
    ASSERT_TRUE(RunTool("heif-enc -q 80 " + Quoted(dir / "source.png") + " -o " + Quoted(dir / "p.heic")));
    std::unique_ptr<TDibGraphic> picture = Load("p.heic");
    EXPECT_EQ(picture->ImageFormat(), ifRgb24);
    // Same decoder and colour conversion as heif-convert: equal but for ImageMagick's PPM step.
    EXPECT_LE(MaxChannelDifference(*picture, *Reference("p.heic")), 1);
}

// 10-bit samples reduce to 8 by rounding: with every 10-bit value present, a reader that drops the
// two low bits instead is off by one for a quarter of them.
TEST_F(HeifReader, TenBitsAreRoundedToEight) {
    {
        std::ofstream out(dir / "deep.ppm", std::ios::binary);
        out << "P6\n64 64\n1023\n";
        for (int v = 0; v < 64 * 64; ++v)
            for (int channel = 0; channel < 3; ++channel) {
                int sample = (v + channel * 341) % 1024;
                out.put(char(sample >> 8)).put(char(sample & 0xFF));
            }
    }
    ASSERT_TRUE(
        RunTool("/usr/bin/convert " + Quoted(dir / "deep.ppm") + " -depth 16 " + Quoted(dir / "deep.png")));
    ASSERT_TRUE(
        RunTool("avifenc --lossless -d 10 " + Quoted(dir / "deep.png") + " " + Quoted(dir / "deep.avif")));
    std::unique_ptr<TDibGraphic> picture = Load("deep.avif");
    ASSERT_EQ(picture->Width(), 64);
    for (int v = 0; v < 64 * 64; v += 7) {
        TColor expected = 0;
        for (int channel = 0; channel < 3; ++channel) {
            int sample = (v + channel * 341) % 1024;
            expected |= TColor((sample * 255 + 511) / 1023) << (16 - 8 * channel);
        }
        ASSERT_EQ(picture->ReadPixel(v % 64, v / 64), expected) << "value " << v;
    }
}

TEST_F(HeifReader, TenBitHeicAgreesWithHeifConvert) {
    ASSERT_TRUE(
        RunTool("/usr/bin/convert " + Quoted(dir / "source.png") + " -depth 16 " + Quoted(dir / "s16.png")));
    ASSERT_TRUE(RunTool("heif-enc -b 10 -q 80 " + Quoted(dir / "s16.png") + " -o " + Quoted(dir / "d.heic")));
    // heif-convert writes 16 bits, which ImageMagick rounds to 8 as the reader does.
    EXPECT_LE(MaxChannelDifference(*Load("d.heic"), *Reference("d.heic")), 1);
}

TEST_F(HeifReader, RotationAndMirrorAreApplied) {
    ASSERT_TRUE(
        RunTool("avifenc --lossless --irot 1 " + Quoted(dir / "source.png") + " " + Quoted(dir / "r.avif")));
    std::unique_ptr<TDibGraphic> rotated = Load("r.avif");
    // A quarter turn anticlockwise: the top row of the result is the right column of the source.
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x)
            ASSERT_EQ(rotated->ReadPixel(x, y), source.ReadPixel(127 - y, x)) << x << ", " << y;
    ASSERT_TRUE(
        RunTool("avifenc --lossless --imir 1 " + Quoted(dir / "source.png") + " " + Quoted(dir / "m.avif")));
    std::unique_ptr<TDibGraphic> mirrored = Load("m.avif");
    EXPECT_EQ(mirrored->ReadPixel(0, 5), source.ReadPixel(127, 5));
    EXPECT_EQ(mirrored->ReadPixel(127, 9), source.ReadPixel(0, 9));
}

TEST_F(HeifReader, GridImageIsJoined) {
    ASSERT_TRUE(RunTool("avifenc --lossless --grid 2x2 " + Quoted(dir / "source.png") + " " +
                        Quoted(dir / "g.avif")));
    EXPECT_TRUE(SamePixels(*Load("g.avif"), source));
}

TEST_F(HeifReader, AlphaIsComposedOnBlack) {
    auto pixel = [](int x, int) { return uint32_t(x * 255 / 63) << 24 | 0xF08020u; };
    WritePam(dir / "a.pam", 64, 64, pixel);
    ASSERT_TRUE(RunTool("/usr/bin/convert " + Quoted(dir / "a.pam") + " png32:" + (dir / "a.png").string()));
    ASSERT_TRUE(RunTool("avifenc --lossless " + Quoted(dir / "a.png") + " " + Quoted(dir / "a.avif")));
    std::unique_ptr<TDibGraphic> picture = Load("a.avif");
    for (int x = 0; x < 64; ++x) {
        uint32_t alpha = pixel(x, 0) >> 24;
        TColor expected = ((0xF0 * alpha + 127) / 255) << 16 | ((0x80 * alpha + 127) / 255) << 8 |
                          ((0x20 * alpha + 127) / 255);
        ASSERT_EQ(picture->ReadPixel(x, 3), expected) << "x " << x;
    }
}

// The rows a streamed decode hands out are the decoded picture's, for every kind of source row:
// turned, with alpha, with 10 bits, and with a colour profile to convert.
TEST_F(HeifReader, StreamedRowsAreTheDecodedPicture) {
    class TCollect : public TJpegRowSink {
    public:
        void Begin(const TJpegHeader& header) override {
            picture.NewImage(header.width, header.height, header.format);
        }
        void RowsFor(int first, int count, uint8_t** rows) override {
            for (int k = 0; k < count; ++k)
                rows[k] = picture.ScanLine(first + k);
        }
        void RowsDone(int, int) override {}
        TDibGraphic picture;
    };
    ASSERT_TRUE(
        RunTool("avifenc --lossless --irot 1 " + Quoted(dir / "source.png") + " " + Quoted(dir / "r.avif")));
    WritePam(dir / "a.pam", 64, 64,
             [](int x, int y) { return uint32_t(x * 4) << 24 | uint32_t(y * 3) << 8 | 0x40u; });
    ASSERT_TRUE(RunTool("/usr/bin/convert " + Quoted(dir / "a.pam") + " png32:" + (dir / "a.png").string()));
    ASSERT_TRUE(RunTool("heif-enc -q 80 " + Quoted(dir / "a.png") + " -o " + Quoted(dir / "a.heic")));
    ASSERT_TRUE(
        RunTool("/usr/bin/convert " + Quoted(dir / "source.png") + " -depth 16 " + Quoted(dir / "s16.png")));
    ASSERT_TRUE(RunTool("heif-enc -b 10 -q 80 " + Quoted(dir / "s16.png") + " -o " + Quoted(dir / "d.heic")));
    const char* profile = "/usr/share/color/icc/ghostscript/a98.icc";
    bool profiled = std::filesystem::exists(profile) &&
                    RunTool("/usr/bin/convert " + Quoted(dir / "source.png") + " -profile " + profile + " " +
                            Quoted(dir / "p.png")) &&
                    RunTool("heif-enc -q 80 " + Quoted(dir / "p.png") + " -o " + Quoted(dir / "p.heic"));
    std::vector<std::string> files = {"r.avif", "a.heic", "d.heic"};
    if (profiled) files.push_back("p.heic");
    for (const std::string& name : files) {
        TCollect rows;
        DecodeHeifFile(dir / name, rows);
        EXPECT_TRUE(SamePixels(rows.picture, *Load(name))) << name;
    }
    std::string bytes = ReadBytes(dir / "d.heic");
    WriteBytes(dir / "cut.heic", bytes.substr(0, bytes.size() / 2));
    TCollect rows;
    EXPECT_THROW(DecodeHeifFile(dir / "cut.heic", rows), EImageError);
}

TEST_F(HeifReader, TruncatedMislabelledAndTooLargeFilesFail) {
    ASSERT_TRUE(RunTool("heif-enc -q 50 " + Quoted(dir / "source.png") + " -o " + Quoted(dir / "p.heic")));
    std::string bytes = ReadBytes(dir / "p.heic");
    for (size_t keep : {size_t(8), size_t(40), bytes.size() / 2, bytes.size() - 20}) {
        WriteBytes(dir / "cut.heic", bytes.substr(0, keep));
        TDibGraphic picture;
        EXPECT_THROW(LoadPictureFile(dir / "cut.heic", 1, nullptr, picture), EImageError) << keep;
        EXPECT_TRUE(picture.IsEmpty());
    }
    source.FreeImage();
    FillPattern(source, 8, 8);
    WritePpm(source, dir / "ppm.heic");
    TDibGraphic picture;
    EXPECT_THROW(LoadPictureFile(dir / "ppm.heic", 1, nullptr, picture), EImageError);
    // The declared size is checked before libheif decodes a tile.
    uint64_t limit = PixelStoreLimit();
    SetPixelStoreLimit(128 * 128 * 3 - 1);
    try {
        LoadPictureFile(dir / "p.heic", 1, nullptr, picture);
        ADD_FAILURE() << "no error";
    } catch (const EImageError& error) {
        EXPECT_NE(std::string(error.what()).find("too large"), std::string::npos) << error.what();
    }
    SetPixelStoreLimit(limit);
}

} // namespace
} // namespace vistrel

namespace vistrel {
namespace {

// Found by fuzzing: an nclx box with code points libheif does not know. libheif hands out the
// profile together with its error; the reader must free it (LeakSanitizer checks) and go on.
TEST(HeifFindings, NclxWithUnknownCodePointsLeaksNothing) {
    const std::filesystem::path file =
        std::filesystem::path(VISTREL_TEST_DATA) / "image_processing" / "heif_nclx_error_leak.avif";
    TDibGraphic picture;
    try {
        LoadPictureFile(file, 1, nullptr, picture);
    } catch (const EImageError&) {
        EXPECT_TRUE(picture.IsEmpty());
    }
}

} // namespace
} // namespace vistrel
