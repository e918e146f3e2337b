// The reduction that follows the decoder row by row against the resize of the decoded picture.
#include "image_processing/jpeg_graphic.h"
#include "image_processing/resize_transform.h"
#include "image_processing/streaming_resize.h"
#include "image_test_util.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace vistrel;
using vistrel::testing::FillPattern;
using vistrel::testing::View;

namespace {

ByteBuffer Jpeg(int width, int height, TImageFormat format) {
    TJpegGraphic jpeg;
    FillPattern(jpeg, width, height);
    if (format == ifGray256) {
        TJpegGraphic gray;
        gray.NewImage(width, height, ifGray256);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                gray.WritePixel(x, y, jpeg.ReadPixel(x, y));
        jpeg.TakeImageFrom(gray);
    }
    ByteBuffer bytes;
    jpeg.WriteToStream(bytes);
    return bytes;
}

} // namespace

// Strips of 8 rows meet the ring of 8 strips, the last short strip and the mirrored edges: sizes on
// both sides of those, reductions by odd factors and enlargements, colour and gray.
TEST(StreamingResize, SameBytesAsResizingTheDecodedPicture) {
    struct Row {
        int sw, sh, dw, dh;
        TImageFormat format;
    } rows[] = {
        {640, 480, 500, 375, ifRgb24},
        {641, 479, 97, 73, ifRgb24},
        {300, 65, 2, 2, ifRgb24},
        {64, 64, 64, 64, ifRgb24},
        {33, 7, 100, 21, ifRgb24},
        {1, 200, 2, 50, ifRgb24},
        {200, 1, 50, 2, ifRgb24},
        {123, 129, 40, 41, ifGray256},
        {96, 72, 500, 375, ifGray256},
        // The ring of reduced rows: almost the whole height, a strip's worth, and one row short.
        {16, 1000, 8, 5, ifRgb24},
        {24, 300, 12, 299, ifRgb24},
        {40, 97, 20, 96, ifGray256},
    };
    for (const Row& row : rows) {
        ByteBuffer bytes = Jpeg(row.sw, row.sh, row.format);
        TJpegGraphic decoded;
        decoded.ReadFromStream(View(bytes));
        TResizeTransform resize;
        resize.TargetWidth = row.dw;
        resize.TargetHeight = row.dh;
        resize.Resample = true;
        resize.ResampleFilter = sfLanczos3;
        TDibGraphic expected;
        resize.ApplyOnDest(decoded, expected);

        TDibGraphic streamed;
        TStreamingResize streaming(
            [&](const TJpegHeader&) {
                return TResizeTarget{row.dw, row.dh};
            },
            sfLanczos3, streamed);
        DecodeJpeg(View(bytes), streaming);
        streaming.Finish();
        std::string name = std::to_string(row.sw) + "x" + std::to_string(row.sh);
        ASSERT_EQ(streamed.ImageFormat(), expected.ImageFormat()) << name;
        EXPECT_EQ(streamed.XDotsPerInch(), expected.XDotsPerInch()) << name;
        ASSERT_EQ(streamed.ImageSize(), expected.ImageSize()) << name;
        EXPECT_TRUE(vistrel::testing::SamePixels(streamed, expected)) << name;
    }
}

// A second output reduced from the same rows is what a resize of the decoded picture makes, also
// when only its rows are handed out, and an output its choice declines for the source stays empty.
TEST(StreamingResize, FurtherOutputsMatchTheirOwnResize) {
    ByteBuffer bytes = Jpeg(403, 301, ifRgb24);
    TJpegGraphic decoded;
    decoded.ReadFromStream(View(bytes));
    auto sameAsResized = [&](const TDibGraphic& streamed, int width, int height) {
        TResizeTransform resize;
        resize.TargetWidth = width;
        resize.TargetHeight = height;
        resize.Resample = true;
        resize.ResampleFilter = sfLanczos3;
        TDibGraphic result;
        resize.ApplyOnDest(decoded, result);
        return vistrel::testing::SamePixels(streamed, result);
    };
    TDibGraphic small, large, declined;
    TStreamingResize streaming([](const TJpegHeader&) { return TResizeTarget{50, 37}; }, sfLanczos3, small);
    streaming.AddOutput(
        [](const TJpegHeader& header) -> std::optional<TResizeTarget> {
            return TResizeTarget{header.width / 2 + 1, header.height / 2 + 1};
        },
        large);
    streaming.AddOutput([](const TJpegHeader&) { return std::optional<TResizeTarget>(); }, declined);
    // Rows handed out one by one, in order, are the rows of the same resize.
    TDibGraphic handedOut;
    handedOut.NewImage(120, 90, ifRgb24);
    int nextRow = 0;
    streaming.AddRowOutput(
        [](const TJpegHeader&) {
            return std::optional<TResizeTarget>(TResizeTarget{120, 90});
        },
        [&](const uint8_t* row, int y) {
            EXPECT_EQ(y, nextRow++);
            std::copy(row, row + 120 * 3, handedOut.ScanLine(y));
        });
    DecodeJpeg(View(bytes), streaming);
    streaming.Finish();
    EXPECT_TRUE(sameAsResized(small, 50, 37));
    ASSERT_EQ(large.Width(), 202);
    ASSERT_EQ(large.Height(), 151);
    EXPECT_TRUE(sameAsResized(large, 202, 151));
    EXPECT_TRUE(declined.IsEmpty());
    EXPECT_EQ(nextRow, 90);
    EXPECT_TRUE(sameAsResized(handedOut, 120, 90));
}

// A destination of one pixel is refused as by the resize, before anything is decoded; a stop
// request ends the decode.
TEST(StreamingResize, RefusesOnePixelTargetsAndStops) {
    ByteBuffer bytes = Jpeg(64, 48, ifRgb24);
    TDibGraphic out;
    TStreamingResize thin([](const TJpegHeader&) { return TResizeTarget{10, 1}; }, sfLanczos3, out);
    try {
        DecodeJpeg(View(bytes), thin);
        ADD_FAILURE();
    } catch (const EImageError& error) {
        EXPECT_STREQ(error.what(), "Destination graphic too small");
    }
    std::atomic<bool> stop{true};
    TStreamingResize stopped(
        [](const TJpegHeader&) {
            return TResizeTarget{10, 10};
        },
        sfLanczos3, out, &stop);
    EXPECT_THROW(DecodeJpeg(View(bytes), stopped), EImageError);
}
