// The large version beside each imported picture: its size rule, that it comes from the same
// source with the same resampler, carries nothing of the source file but its pixels, leaves the
// stored picture and thumbnail as they were, and follows the picture through a turn.
#include "album_library/import_job.h"
#include "album_library/picture_files.h"
#include "image_processing/graphic_registry.h"
#include "image_processing/jpeg_graphic.h"
#include "image_processing/resize_transform.h"
#include "support/temp_program_folder.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace vistrel;
using vistrel::testing::ReadBytes;
using vistrel::testing::TempProgramFolder;
using vistrel::testing::WriteBytes;
namespace fs = std::filesystem;

namespace vistrel {
std::ostream& operator<<(std::ostream& out, const TPictureSize& size);
} // namespace vistrel

namespace {

void FillPattern(TDibGraphic& picture, int width, int height) {
    picture.NewImage(width, height, ifRgb24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.WritePixel(x, y,
                               TColor((x * 255 / width) << 16 | (y * 255 / height) << 8 | ((x ^ y) & 0x3F)));
}

// A JPEG with a camera's APP1 block holding an orientation and a comment that must not travel on.
void WriteCameraJpeg(const fs::path& file, int width, int height, int orientation = 1) {
    TJpegGraphic picture;
    FillPattern(picture, width, height);
    picture.Quality = 95;
    ByteBuffer bytes;
    picture.WriteToStream(bytes);
    const uint8_t app1[] = {0xFF, 0xE1, 0x00, 0x22, 'E', 'x', 'i', 'f', 0, 0,
                            'M',  'M',  0x00, 0x2A, 0,   0,   0,   8,   0, 1,
                            0x01, 0x12, 0,    3,    0,   0,   0,   1,   0, uint8_t(orientation),
                            0,    0,    0,    0,    0,   0};
    const uint8_t comment[] = {0xFF, 0xFE, 0x00, 0x08, 'S', 'N', '4', '2', '4', '2'};
    bytes.insert(bytes.begin() + 2, std::begin(comment), std::end(comment));
    bytes.insert(bytes.begin() + 2, std::begin(app1), std::end(app1));
    fs::create_directories(file.parent_path());
    WriteBytes(file, std::string(bytes.begin(), bytes.end()));
}

TPictureSize SizeOf(const fs::path& file) {
    TDibGraphic picture;
    LoadPictureFile(file, 1, {}, picture);
    return {picture.Width(), picture.Height()};
}

// The markers of a JPEG file up to the start of the scan.
std::vector<int> Markers(const std::string& bytes) {
    std::vector<int> markers;
    for (size_t i = 2; i + 4 <= bytes.size() && uint8_t(bytes[i]) == 0xFF;) {
        int marker = uint8_t(bytes[i + 1]);
        markers.push_back(marker);
        if (marker == 0xDA) break;
        i += 2 + (uint8_t(bytes[i + 2]) << 8 | uint8_t(bytes[i + 3]));
    }
    return markers;
}

struct LargeVersion : ::testing::Test, TempProgramFolder {
    ImportProgress progress;
    fs::path folder = dir / "galleries" / "Album";
    TAlbumLayout album{folder};
    TPictureList pictures;

    fs::path Source(const std::string& name) const { return dir / "in" / name; }

    void Import(const fs::path& file) {
        TImportJob job{settings, progress, folder, pictures};
        TImportResult outcome = job.ImportFiles({file});
        ASSERT_EQ(ImportMessage(outcome), "");
    }
};

} // namespace

TEST(LargeVersionRules, SideSetting) {
    struct Row {
        const char* text;
        int side;
    } rows[] = {{"2048", 2048}, {"0", 0},       {" 4096 ", 4096}, {"32", 32},    {"31", 32},
                {"8192", 8192}, {"9000", 8192}, {"-5", 32},       {"abc", 2048}, {"", 2048}};
    for (const Row& row : rows)
        EXPECT_EQ(LargeVersionSide(row.text), row.side) << '"' << row.text << '"';
}

TEST(LargeVersionRules, SizeFollowsTheLongerSideAndNeverEnlarges) {
    struct Row {
        const char* name;
        TPictureSize source, stored;
        int side;
        std::optional<TPictureSize> large;
    } rows[] = {
        {"landscape", {4000, 3000}, {500, 375}, 2048, TPictureSize{2048, 1536}},
        {"portrait", {3000, 4000}, {375, 500}, 2048, TPictureSize{1536, 2048}},
        {"square", {3000, 3000}, {500, 500}, 2048, TPictureSize{2048, 2048}},
        {"smaller source keeps its size", {1600, 1200}, {500, 375}, 2048, TPictureSize{1600, 1200}},
        {"none when switched off", {4000, 3000}, {500, 375}, 0, std::nullopt},
        {"none when the stored picture is as large", {1600, 1200}, {1600, 1200}, 2048, std::nullopt},
        {"none when the stored picture was enlarged", {400, 300}, {500, 375}, 2048, std::nullopt},
        {"none when the side is below the stored picture", {4000, 3000}, {800, 600}, 640, std::nullopt},
    };
    for (const Row& row : rows)
        EXPECT_EQ(LargeVersionSize(row.source, row.stored, row.side), row.large) << row.name;
}

TEST_F(LargeVersion, ImportKeepsALargeVersionAndLeavesTheRestAsItWas) {
    WriteCameraJpeg(Source("bild.jpg"), 1000, 800);
    settings.rgOverwriteFiles = 0; // every import below replaces the same picture
    settings.edLargeSize = "0";
    Import(Source("bild.jpg"));
    std::string storedWithout = ReadBytes(album.PathOf(TPictureFile::Picture, "bild.jpg"));
    std::string thumbWithout = ReadBytes(album.PathOf(TPictureFile::Thumbnail, "bild.jpg"));
    EXPECT_FALSE(fs::exists(album.Large()));

    settings.edLargeSize = "900";
    Import(Source("bild.jpg"));
    EXPECT_EQ(ReadBytes(album.PathOf(TPictureFile::Picture, "bild.jpg")), storedWithout);
    EXPECT_EQ(ReadBytes(album.PathOf(TPictureFile::Thumbnail, "bild.jpg")), thumbWithout);
    fs::path large = album.PathOf(TPictureFile::Large, "bild.jpg");
    ASSERT_EQ(SizeOf(large), (TPictureSize{900, 720}));

    // The same resampler on the same decoded source, then JPEG at the large version's quality.
    TDibGraphic source, resized, written;
    TJpegGraphic expected;
    LoadPictureFile(Source("bild.jpg"), 1, {}, source);
    TResizeTransform resize;
    resize.TargetWidth = 900;
    resize.TargetHeight = 720;
    resize.Resample = true;
    resize.ResampleFilter = sfLanczos3;
    resize.ApplyOnDest(source, resized);
    TJpegGraphic jpeg;
    jpeg.CopyFromGraphic(&resized);
    jpeg.Quality = kLargeVersionQuality;
    ByteBuffer bytes;
    jpeg.WriteToStream(bytes);
    expected.ReadFromStream(ByteView(bytes.data(), bytes.size()));
    LoadPictureFile(large, 1, {}, written);
    ASSERT_EQ(expected.ImageSize(), written.ImageSize());
    EXPECT_TRUE(std::equal(expected.Pixels(), expected.Pixels() + expected.ImageSize(), written.Pixels()));
    // Encoded while it was made, it is byte for byte the file the writer makes of it at 72 dpi.
    jpeg.SetXDotsPerInch(72);
    jpeg.SetYDotsPerInch(72);
    jpeg.WriteToStream(bytes);
    EXPECT_TRUE(ReadBytes(large) == std::string(bytes.begin(), bytes.end()));

    // Nothing but the JFIF header, tables, frame and scan: no EXIF, no comment.
    for (int marker : Markers(ReadBytes(large)))
        EXPECT_TRUE(marker == 0xE0 || marker == 0xDB || marker == 0xC0 || marker == 0xC4 || marker == 0xDA)
            << std::hex << marker;

    // Imported again without a large version, the picture must not keep the old one.
    settings.edLargeSize = "0";
    Import(Source("bild.jpg"));
    EXPECT_FALSE(fs::exists(large));
}

TEST_F(LargeVersion, TurnedUprightAndTurnedWithThePicture) {
    settings.edMaxWidth = settings.edMaxHeight = "100";
    settings.edLargeSize = "300";
    WriteCameraJpeg(Source("hoch.jpg"), 400, 200, 6); // lies on its side
    Import(Source("hoch.jpg"));
    EXPECT_EQ(SizeOf(album.PathOf(TPictureFile::Picture, "hoch.jpg")), (TPictureSize{50, 100}));
    EXPECT_EQ(SizeOf(album.PathOf(TPictureFile::Large, "hoch.jpg")), (TPictureSize{150, 300}));

    RotatePictureFile(album, "hoch.jpg", 90);
    EXPECT_EQ(SizeOf(album.PathOf(TPictureFile::Picture, "hoch.jpg")), (TPictureSize{100, 50}));
    EXPECT_EQ(SizeOf(album.PathOf(TPictureFile::Large, "hoch.jpg")), (TPictureSize{300, 150}));

    // A large version that cannot be read is removed rather than left the old way round.
    WriteBytes(album.PathOf(TPictureFile::Large, "hoch.jpg"), "kaputt");
    RotatePictureFile(album, "hoch.jpg", -90);
    EXPECT_EQ(SizeOf(album.PathOf(TPictureFile::Picture, "hoch.jpg")), (TPictureSize{50, 100}));
    EXPECT_FALSE(fs::exists(album.PathOf(TPictureFile::Large, "hoch.jpg")));
}

// With a gamma set, the large version gets it as the stored picture does.
TEST_F(LargeVersion, GetsTheGammaOfTheStoredPicture) {
    WriteCameraJpeg(Source("hell.jpg"), 1000, 800);
    settings.rgOverwriteFiles = 0;
    settings.edLargeSize = "900";
    Import(Source("hell.jpg"));
    TDibGraphic plain;
    LoadPictureFile(album.PathOf(TPictureFile::Large, "hell.jpg"), 1, {}, plain);
    settings.cbGamma = true;
    settings.edGamma = "2";
    Import(Source("hell.jpg"));
    TDibGraphic brighter;
    LoadPictureFile(album.PathOf(TPictureFile::Large, "hell.jpg"), 1, {}, brighter);
    ASSERT_EQ(brighter.ImageSize(), plain.ImageSize());
    // Gamma 2 lifts a mid grey of 64 to about 128.
    TColor before = plain.ReadPixel(250, 200), after = brighter.ReadPixel(250, 200);
    EXPECT_GT(int((after >> 8) & 0xFF), int((before >> 8) & 0xFF) + 20);
}

TEST_F(LargeVersion, NoneForAPictureThatIsNotLargerThanItsStoredOne) {
    WriteCameraJpeg(Source("klein.jpg"), 400, 300);
    Import(Source("klein.jpg")); // stored at 500 x 375, enlarged
    EXPECT_FALSE(fs::exists(album.PathOf(TPictureFile::Large, "klein.jpg")));
    ASSERT_EQ(pictures.size(), 1u);
}
