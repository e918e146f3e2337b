#include "image_processing/color_management.h"
#include "image_processing/graphic_registry.h"
#include "image_processing/jpeg_graphic.h"
#include "image_processing/png_graphic.h"
#include "image_processing/resize_transform.h"
#include "image_processing/streaming_resize.h"
#include "image_processing/tiff_graphic.h"
#include "image_test_util.h"
#include "support/test_support.h"
#include "tool_fixtures.h"

#include <cstdlib>
#include <lcms2.h>

namespace vistrel {
namespace {

using namespace vistrel::testing;

// A matrix profile like the ones phones and cameras embed, made with Little CMS itself.
ByteBuffer RgbProfile(cmsCIExyYTRIPLE primaries, double gamma) {
    cmsCIExyY d65{0.3127, 0.3290, 1.0};
    const double srgb[] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    cmsToneCurve* curve =
        gamma > 0 ? cmsBuildGamma(nullptr, gamma) : cmsBuildParametricToneCurve(nullptr, 4, srgb);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&d65, &primaries, curves);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    ByteBuffer bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    cmsFreeToneCurve(curve);
    return bytes;
}

ByteBuffer DisplayP3() {
    return RgbProfile({{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}}, 0);
}
ByteBuffer AdobeRgb() {
    return RgbProfile({{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}}, 563.0 / 256.0);
}
ByteBuffer Srgb() {
    cmsHPROFILE profile = cmsCreate_sRGBProfile();
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    ByteBuffer bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

// The profile in APP2 segments of at most 65519 bytes, right after SOI, as cameras write it.
std::string WithIccSegment(const std::string& jpeg, const ByteBuffer& icc) {
    std::string segment = "\xFF\xE2";
    size_t length = 2 + 12 + 2 + icc.size();
    segment += char(length >> 8), segment += char(length & 0xFF);
    segment += std::string("ICC_PROFILE\0", 12) + char(1) + char(1);
    segment.append(icc.begin(), icc.end());
    return jpeg.substr(0, 2) + segment + jpeg.substr(2);
}

// Pictures are compared with tificc of Debian's liblcms2-utils (relative colorimetric): the raw
// decode written as TIFF, converted to sRGB by tificc, read back. The reader's own matrix path and
// tificc's transform agree within 2 steps per channel.
constexpr int kLcmsTolerance = 2;

class ColorProfiles : public ::testing::Test {
protected:
    void SetUp() override {
        if (!RunTool("command -v tificc")) GTEST_SKIP() << "liblcms2-utils missing";
        FillPattern(source, 48, 32);
        TJpegGraphic jpeg;
        jpeg.CopyFromGraphic(&source);
        jpeg.Quality = 92;
        jpeg.WriteToFile(dir / "plain.jpg");
        LoadPictureFile(dir / "plain.jpg", 1, nullptr, raw);
    }
    // tificc's conversion of `picture` from the profile to sRGB.
    std::unique_ptr<TDibGraphic> Reference(const TDibGraphic& picture, const ByteBuffer& icc) {
        WriteBytes(dir / "from.icc", std::string(icc.begin(), icc.end()));
        TTiffGraphic tiff;
        tiff.CopyFromGraphic(&picture);
        tiff.WriteToFile(dir / "raw.tif");
        EXPECT_TRUE(RunTool("tificc -t 1 -i " + Quoted(dir / "from.icc") + " -o '*sRGB' " +
                            Quoted(dir / "raw.tif") + " " + Quoted(dir / "ref.tif")));
        return LoadPictureFile(dir / "ref.tif", 1, nullptr);
    }
    std::unique_ptr<TDibGraphic> LoadJpegWith(const ByteBuffer& icc) {
        WriteBytes(dir / "tagged.jpg", WithIccSegment(ReadBytes(dir / "plain.jpg"), icc));
        return LoadPictureFile(dir / "tagged.jpg", 1, nullptr);
    }
    TempDir dir;
    TDibGraphic source, raw;
};

TEST_F(ColorProfiles, JpegWithDisplayP3OrAdobeRgbIsConvertedToSrgb) {
    for (const ByteBuffer& icc : {DisplayP3(), AdobeRgb()}) {
        std::unique_ptr<TDibGraphic> picture = LoadJpegWith(icc);
        EXPECT_LE(MaxChannelDifference(*picture, *Reference(raw, icc)), kLcmsTolerance);
        // Wide-gamut red is redder than sRGB's red can show: the conversion must change it visibly.
        EXPECT_GT(MaxChannelDifference(*picture, raw), 10);
    }
}

TEST_F(ColorProfiles, SrgbAndBrokenProfilesLeaveThePixelsAsDecoded) {
    EXPECT_TRUE(SamePixels(*LoadJpegWith(Srgb()), raw));
    ByteBuffer broken = DisplayP3();
    broken.resize(broken.size() / 2);
    EXPECT_TRUE(SamePixels(*LoadJpegWith(broken), raw));
    EXPECT_TRUE(SamePixels(*LoadJpegWith(ByteBuffer(200, 0x41)), raw));
}

// The streaming import decodes through a row sink: it must see the converted rows as well.
TEST_F(ColorProfiles, RowSinkReceivesConvertedRows) {
    std::unique_ptr<TDibGraphic> whole = LoadJpegWith(DisplayP3());
    struct Collect : TJpegRowSink {
        TDibGraphic picture;
        void Begin(const TJpegHeader& h) override { picture.NewImage(h.width, h.height, h.format); }
        void RowsFor(int first, int count, uint8_t** rows) override {
            for (int k = 0; k < count; ++k)
                rows[k] = picture.ScanLine(first + k);
        }
        void RowsDone(int, int) override {}
    } sink;
    DecodeJpegFile(dir / "tagged.jpg", sink);
    EXPECT_TRUE(SamePixels(sink.picture, *whole));
}

// The streaming resize converts the rows on a thread of its own: exactly once, before reducing,
// for the stored picture and a second output alike.
TEST_F(ColorProfiles, StreamingResizeConvertsOnceBeforeReducing) {
    std::unique_ptr<TDibGraphic> whole = LoadJpegWith(DisplayP3());
    auto resized = [&](int width, int height, const TDibGraphic& streamed) {
        TResizeTransform resize;
        resize.TargetWidth = width;
        resize.TargetHeight = height;
        resize.Resample = true;
        resize.ResampleFilter = sfLanczos3;
        TDibGraphic expected;
        resize.ApplyOnDest(*whole, expected);
        return SamePixels(streamed, expected);
    };
    TDibGraphic small, large;
    TStreamingResize streaming([](const TJpegHeader&) { return TResizeTarget{20, 13}; }, sfLanczos3, small);
    streaming.AddOutput(
        [](const TJpegHeader&) {
            return std::optional<TResizeTarget>(TResizeTarget{40, 27});
        },
        large);
    DecodeJpegFile(dir / "tagged.jpg", streaming);
    streaming.Finish();
    EXPECT_TRUE(resized(20, 13, small));
    EXPECT_TRUE(resized(40, 27, large));
}

TEST_F(ColorProfiles, PngAndTiffProfilesAreApplied) {
    ByteBuffer icc = DisplayP3();
    WriteBytes(dir / "p3.icc", std::string(icc.begin(), icc.end()));
    TPngGraphic png;
    png.CopyFromGraphic(&source);
    png.WriteToFile(dir / "plain.png");
    ASSERT_TRUE(RunTool("/usr/bin/convert " + Quoted(dir / "plain.png") + " -profile " +
                        Quoted(dir / "p3.icc") + " " + Quoted(dir / "p3.png")));
    ASSERT_TRUE(RunTool("/usr/bin/convert " + Quoted(dir / "plain.png") + " -profile " +
                        Quoted(dir / "p3.icc") + " " + Quoted(dir / "p3.tif")));
    std::unique_ptr<TDibGraphic> reference = Reference(source, icc);
    for (const char* name : {"p3.png", "p3.tif"}) {
        TDibGraphic picture;
        LoadPictureFile(dir / name, 1, nullptr, picture);
        EXPECT_LE(MaxChannelDifference(picture, *reference), kLcmsTolerance) << name;
    }
}

// AVIF and HEIF files describe their colours by nclx code points: 12 is Display P3's primaries, 1
// BT.709's (sRGB's), 13 the sRGB curve. Lossless files, so the pixels are exactly the source's.
TEST_F(ColorProfiles, NclxDisplayP3IsConvertedAndNclxSrgbLeftAlone) {
    if (!RunTool("command -v avifenc")) GTEST_SKIP() << "libavif-bin missing";
    TPngGraphic png;
    png.CopyFromGraphic(&source);
    png.WriteToFile(dir / "plain.png");
    ASSERT_TRUE(RunTool("avifenc --lossless --cicp 12/13/0 " + Quoted(dir / "plain.png") + " " +
                        Quoted(dir / "p3.avif")));
    ASSERT_TRUE(RunTool("avifenc --lossless --cicp 1/13/0 " + Quoted(dir / "plain.png") + " " +
                        Quoted(dir / "srgb.avif")));
    std::unique_ptr<TDibGraphic> p3 = LoadPictureFile(dir / "p3.avif", 1, nullptr);
    EXPECT_LE(MaxChannelDifference(*p3, *Reference(source, DisplayP3())), kLcmsTolerance);
    EXPECT_TRUE(SamePixels(*LoadPictureFile(dir / "srgb.avif", 1, nullptr), source));
}

// ImageMagick writes CMYK JPEGs as Photoshop does: with an Adobe marker and inverted ink.
class CmykJpeg : public ColorProfiles {
protected:
    void SetUp() override {
        ColorProfiles::SetUp();
        if (IsSkipped()) return;
        WritePpm(source, dir / "source.ppm");
        ASSERT_TRUE(RunTool("/usr/bin/convert " + Quoted(dir / "source.ppm") +
                            " -colorspace CMYK -quality 100 " + Quoted(dir / "cmyk.jpg")));
    }
};

TEST_F(CmykJpeg, WithoutProfileTakesTheDefaultCmykProfile) {
    if (DefaultCmykProfilePath().empty()) GTEST_SKIP() << "no default CMYK profile (libgs-common)";
    ASSERT_TRUE(RunTool("command -v jpgicc"));
    // jpgicc reads the inverted Adobe ink as well; its result is written at quality 100.
    ASSERT_TRUE(RunTool("jpgicc -t 0 -q 100 -i " + Quoted(DefaultCmykProfilePath()) + " -o '*sRGB' " +
                        Quoted(dir / "cmyk.jpg") + " " + Quoted(dir / "ref.jpg")));
    TDibGraphic picture, reference;
    LoadPictureFile(dir / "cmyk.jpg", 1, nullptr, picture);
    LoadPictureFile(dir / "ref.jpg", 1, nullptr, reference);
    EXPECT_EQ(picture.ImageFormat(), ifRgb24);
    EXPECT_LE(MaxChannelDifference(picture, reference), 4);
}

TEST_F(CmykJpeg, WithoutAnyProfileTheInkFormulaGivesTheColours) {
    setenv("VISTREL_CMYK_PROFILE", (dir / "missing.icc").c_str(), 1);
    TDibGraphic picture;
    LoadPictureFile(dir / "cmyk.jpg", 1, nullptr, picture);
    unsetenv("VISTREL_CMYK_PROFILE");
    // ImageMagick's own CMYK conversion is the same formula; JPEG's rounding of four channels
    // keeps it within a few steps of the source.
    EXPECT_LE(MaxChannelDifference(picture, source), 6);
}

} // namespace
} // namespace vistrel
