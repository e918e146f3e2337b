#include "image_processing/graphic_registry.h"
#include "image_processing/webp_graphic.h"
#include "image_test_util.h"
#include "support/test_support.h"
#include "tool_fixtures.h"

namespace vistrel {
namespace {

using namespace vistrel::testing;

// Fixtures are encoded by cwebp/img2webp and decoded for reference by dwebp, all of Debian's webp
// package; the reader uses the same libwebp, so lossy files must agree exactly with dwebp.
class WebpReader : public ::testing::Test {
protected:
    void SetUp() override {
        if (!RunTool("command -v cwebp && command -v dwebp && command -v img2webp"))
            GTEST_SKIP() << "webp tools missing";
        FillPattern(source, 37, 23);
        WritePpm(source, dir / "source.ppm");
    }
    std::unique_ptr<TDibGraphic> Load(const std::string& name) {
        return LoadPictureFile(dir / name, 1, nullptr);
    }
    TempDir dir;
    TDibGraphic source;
};

TEST_F(WebpReader, LosslessGivesTheSourcePixels) {
    ASSERT_TRUE(RunTool("cwebp -lossless " + Quoted(dir / "source.ppm") + " -o " + Quoted(dir / "l.webp")));
    std::unique_ptr<TDibGraphic> picture = Load("l.webp");
    EXPECT_EQ(picture->ImageFormat(), ifRgb24);
    EXPECT_TRUE(SamePixels(*picture, source));
}

TEST_F(WebpReader, LossyAgreesWithDwebp) {
    ASSERT_TRUE(RunTool("cwebp -q 70 " + Quoted(dir / "source.ppm") + " -o " + Quoted(dir / "q.webp")));
    ASSERT_TRUE(RunTool("dwebp " + Quoted(dir / "q.webp") + " -ppm -o " + Quoted(dir / "ref.ppm")));
    TDibGraphic reference;
    ReadPpm(dir / "ref.ppm", reference);
    EXPECT_EQ(MaxChannelDifference(*Load("q.webp"), reference), 0);
}

TEST_F(WebpReader, AlphaIsComposedOnBlack) {
    // Alpha runs from 0 at the left to 255 at the right; the colour is a fixed orange.
    auto pixel = [](int x, int) { return uint32_t(x * 255 / 15) << 24 | 0xF08020u; };
    WritePam(dir / "a.pam", 16, 4, pixel);
    ASSERT_TRUE(RunTool("cwebp -lossless -exact " + Quoted(dir / "a.pam") + " -o " + Quoted(dir / "a.webp")));
    std::unique_ptr<TDibGraphic> picture = Load("a.webp");
    for (int x = 0; x < 16; ++x) {
        uint32_t alpha = pixel(x, 0) >> 24;
        TColor expected = ((0xF0 * alpha + 127) / 255) << 16 | ((0x80 * alpha + 127) / 255) << 8 |
                          ((0x20 * alpha + 127) / 255);
        EXPECT_EQ(picture->ReadPixel(x, 2), expected) << "x " << x;
    }
}

TEST_F(WebpReader, AnimationGivesItsFirstFrame) {
    TDibGraphic second;
    FillColor(second, 37, 23, 0x3366CC);
    WritePpm(second, dir / "second.ppm");
    ASSERT_TRUE(RunTool("cwebp -lossless " + Quoted(dir / "source.ppm") + " -o " + Quoted(dir / "f1.webp")));
    ASSERT_TRUE(RunTool("cwebp -lossless " + Quoted(dir / "second.ppm") + " -o " + Quoted(dir / "f2.webp")));
    ASSERT_TRUE(RunTool("img2webp -loop 0 -lossless " + Quoted(dir / "f1.webp") + " -d 100 " +
                        Quoted(dir / "f2.webp") + " -o " + Quoted(dir / "anim.webp")));
    EXPECT_TRUE(SamePixels(*Load("anim.webp"), source));
}

TEST_F(WebpReader, TruncatedAndMislabelledFilesFail) {
    ASSERT_TRUE(RunTool("cwebp -q 70 " + Quoted(dir / "source.ppm") + " -o " + Quoted(dir / "q.webp")));
    std::string bytes = ReadBytes(dir / "q.webp");
    for (size_t keep : {size_t(11), size_t(30), bytes.size() / 2, bytes.size() - 1}) {
        WriteBytes(dir / "cut.webp", bytes.substr(0, keep));
        TDibGraphic picture;
        EXPECT_THROW(LoadPictureFile(dir / "cut.webp", 1, nullptr, picture), EImageError) << keep;
        EXPECT_TRUE(picture.IsEmpty());
    }
    WriteBytes(dir / "png.webp", "\x89PNG\r\n\x1a\n0000000000000");
    TDibGraphic picture;
    EXPECT_THROW(LoadPictureFile(dir / "png.webp", 1, nullptr, picture), EImageError);
}

// A lossless header may declare 16384 x 16384 pixels in a file of a few bytes: refused by the size
// check before the decoder allocates anything.
TEST_F(WebpReader, HugeDeclaredSizeIsRefusedBeforeDecoding) {
    ASSERT_TRUE(RunTool("cwebp -lossless " + Quoted(dir / "source.ppm") + " -o " + Quoted(dir / "l.webp")));
    std::string bytes = ReadBytes(dir / "l.webp");
    size_t header = bytes.find("VP8L");
    ASSERT_NE(header, std::string::npos);
    // After "VP8L", the chunk size and the 0x2F signature: 14 bits width - 1, 14 bits height - 1.
    bytes[header + 9] = char(0xFF), bytes[header + 10] = char(0xFF), bytes[header + 11] = char(0xFF);
    bytes[header + 12] = char((uint8_t(bytes[header + 12]) & 0xF0) | 0x0F);
    WriteBytes(dir / "huge.webp", bytes);
    uint64_t limit = PixelStoreLimit();
    SetPixelStoreLimit(64u << 20);
    TDibGraphic picture;
    try {
        LoadPictureFile(dir / "huge.webp", 1, nullptr, picture);
        ADD_FAILURE() << "no error";
    } catch (const EImageError& error) {
        EXPECT_NE(std::string(error.what()).find("too large"), std::string::npos) << error.what();
    }
    SetPixelStoreLimit(limit);
}

} // namespace
} // namespace vistrel
