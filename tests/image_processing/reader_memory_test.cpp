// Hostile sizes: memory must follow the picture, not the length of the file nor the size a short
// file declares.
#include "image_processing/graphic_registry.h"
#include "image_processing/jpeg_graphic.h"
#include "image_processing/side_formats.h"
#include "image_processing/streaming_resize.h"
#include "image_test_util.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <unistd.h>

using namespace vistrel;
using vistrel::testing::TempDir;
namespace fs = std::filesystem;

namespace {

// The growth of the process's peak resident memory while `work` runs, in megabytes. Writing 5 to
// clear_refs resets the peak to the current size.
template <typename Work> long PeakGrowthMb(Work work) {
    auto peakKb = [] {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
        return 0L;
    };
    std::ofstream("/proc/self/clear_refs") << "5";
    long before = peakKb();
    work();
    return (peakKb() - before) / 1024;
}

ByteBuffer SmallJpeg(int width, int height, bool progressive) {
    TJpegGraphic jpeg;
    jpeg.NewImage(width, height, ifRgb24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            jpeg.WritePixel(x, y, TColor(x * 0x010203u + y * 0x030201u));
    jpeg.Progressive = progressive;
    ByteBuffer bytes;
    jpeg.WriteToStream(bytes);
    return bytes;
}

// Sets the size in the frame header (SOF0 or SOF2) without touching the scans.
void DeclareSize(ByteBuffer& jpeg, int width, int height) {
    for (size_t i = 2; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
            jpeg[i + 5] = uint8_t(height >> 8), jpeg[i + 6] = uint8_t(height);
            jpeg[i + 7] = uint8_t(width >> 8), jpeg[i + 8] = uint8_t(width);
            return;
        }
    FAIL() << "no frame header";
}

struct NoResize : TJpegRowSink {
    void Begin(const TJpegHeader&) override {}
    void RowsFor(int, int count, uint8_t** rows) override {
        for (int k = 0; k < count; ++k)
            rows[k] = row.data();
    }
    void RowsDone(int, int) override {}
    std::vector<uint8_t> row = std::vector<uint8_t>(3 * 65536);
};

} // namespace

// A 320 x 240 picture padded to 6 GB (a sparse file, so the test needs no disk): reading it used to
// read the whole file into memory.
TEST(ReaderMemory, PaddedFileCostsOnlyThePicture) {
    TempDir dir;
    fs::path file = dir / "padded.jpg";
    ByteBuffer bytes = SmallJpeg(320, 240, false);
    {
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    fs::resize_file(file, uint64_t(6) << 30);
    long grown = PeakGrowthMb([&] {
        TDibGraphic picture;
        LoadPictureFile(file, 1, {}, picture);
        EXPECT_EQ(picture.Width(), 320);
        TDibGraphic small;
        TStreamingResize resize(
            [](const TJpegHeader&) {
                return TResizeTarget{160, 120};
            },
            sfLanczos3, small);
        DecodeJpegFile(file, resize);
        resize.Finish();
        EXPECT_EQ(small.Height(), 120);
    });
    EXPECT_LT(grown, 64);
}

// A few kilobytes of progressive JPEG that declare 18000 x 19000: libjpeg would keep a gigabyte of
// coefficients for it. Its working memory is bounded, so the file is refused instead.
TEST(ReaderMemory, DeclaredGiantProgressiveJpegIsRefused) {
    ByteBuffer bytes = SmallJpeg(64, 64, true);
    DeclareSize(bytes, 18000, 19000);
    ASSERT_LT(bytes.size(), 8000u);
    long grown = PeakGrowthMb([&] {
        NoResize sink;
        EXPECT_THROW(DecodeJpeg(vistrel::testing::View(bytes), sink), EJpegError);
        TJpegGraphic jpeg;
        EXPECT_THROW(jpeg.ReadFromStream(vistrel::testing::View(bytes)), EJpegError);
        EXPECT_TRUE(jpeg.IsEmpty());
    });
    EXPECT_LT(grown, 64);
    // The same picture at its real size still reads.
    ByteBuffer real = SmallJpeg(64, 64, true);
    TJpegGraphic jpeg;
    jpeg.ReadFromStream(vistrel::testing::View(real));
    EXPECT_EQ(jpeg.Width(), 64);
}

// A portable bitmap header that claims 60000 x 60000 pixels over a hundred bytes: the length of the
// data is checked before the pixel store is made, so the small limit below is never reached.
TEST(ReaderMemory, ShortPortableAnymapIsRefusedBeforeAllocating) {
    uint64_t limit = PixelStoreLimit();
    SetPixelStoreLimit(1 << 20);
    struct Row {
        const char* header;
    } rows[] = {{"P4\n60000 60000\n"},
                {"P5\n60000 60000\n255\n"},
                {"P6\n30000 30000\n65535\n"},
                {"P1\n60000 60000\n"},
                {"P3\n30000 30000\n255\n"}};
    for (const Row& row : rows) {
        std::string text = std::string(row.header) + std::string(100, '1');
        ByteView data(reinterpret_cast<const uint8_t*>(text.data()), text.size());
        TPpmGraphic pnm;
        try {
            pnm.ReadFromStream(data);
            ADD_FAILURE() << row.header;
        } catch (const EImageError& error) {
            EXPECT_STREQ(error.what(), "Not a valid PPM file") << row.header;
        }
    }
    SetPixelStoreLimit(limit);
    // Exactly enough data still reads: 2 x 2 pixels, one byte per row in P4.
    std::string exact = std::string("P4\n2 2\n") + '\x80' + '\x40';
    TPpmGraphic pnm;
    pnm.ReadFromStream(ByteView(reinterpret_cast<const uint8_t*>(exact.data()), exact.size()));
    EXPECT_EQ(pnm.Width(), 2);
}
