#include "image_processing/edit_session.h"
#include "image_processing/edit_write_back.h"
#include "image_processing/graphic_registry.h"
#include "image_processing/jpeg_graphic.h"
#include "image_processing/resize_transform.h"
#include "image_test_util.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

using testing::FillPattern;
using testing::SamePixels;
using testing::TempDir;

struct RecordingProgress : WriteBackProgress {
    std::vector<std::string> steps;
    int lastPercent = -1;
    void ShowStep(const std::string& step) override { steps.push_back(step); }
    void StepProgress(int percent) override { lastPercent = percent; }
};

// What the written file must hold: `picture` through the JPEG coder at quality 75.
void JpegRoundTrip(const TDibGraphic& picture, TDibGraphic& decoded) {
    ByteBuffer bytes = EncodeJpeg(picture, 75);
    TJpegGraphic jpeg;
    jpeg.ReadFromStream(testing::View(bytes));
    decoded.TakeImageFrom(jpeg);
}

struct WriteBackTest : ::testing::Test {
    TempDir dir;
    TDibGraphic picture;
    TDibGraphic thumbnail;
    RecordingProgress progress;
    TWriteBackParams params;

    void SetUp() override {
        std::filesystem::create_directories(dir / "images");
        FillPattern(picture, 300, 200);
        params = {&picture, dir / "images" / "bild.jpg", dir / "thumbs"};
    }
};

TEST_F(WriteBackTest, WritesThePictureAndALanczosThumbnail) {
    TWriteBackResult result = WriteBackEditedPicture(params, progress, thumbnail);
    ASSERT_TRUE(result.Ok()) << result.detail;
    EXPECT_EQ(progress.steps, std::vector<std::string>{"Bild speichern"});
    EXPECT_EQ(progress.lastPercent, 100);

    TDibGraphic expectedPicture;
    TJpegGraphic writtenPicture;
    JpegRoundTrip(picture, expectedPicture);
    writtenPicture.ReadFromFile(dir / "images" / "bild.jpg");
    EXPECT_TRUE(SamePixels(writtenPicture, expectedPicture));

    TResizeTransform resize;
    resize.TargetWidth = 120;
    resize.TargetHeight = 80;
    resize.Resample = true;
    resize.ResampleFilter = sfLanczos3;
    TDibGraphic expectedThumb, decodedThumb;
    TJpegGraphic writtenThumb;
    resize.ApplyOnDest(picture, expectedThumb);
    EXPECT_TRUE(SamePixels(thumbnail, expectedThumb)) << "the tile's thumbnail";
    JpegRoundTrip(expectedThumb, decodedThumb);
    writtenThumb.ReadFromFile(dir / "thumbs" / "bild.jpg");
    EXPECT_TRUE(SamePixels(writtenThumb, decodedThumb));
}

TEST_F(WriteBackTest, AnotherExtensionIsWrittenAsJpg) {
    params.picturePath = dir / "images" / "scan.png";
    ASSERT_TRUE(WriteBackEditedPicture(params, progress, thumbnail).Ok());
    EXPECT_EQ(WrittenPicturePath(params), dir / "images" / "scan.jpg");
    EXPECT_TRUE(std::filesystem::exists(dir / "images" / "scan.jpg"));
    EXPECT_TRUE(std::filesystem::exists(dir / "thumbs" / "scan.jpg"));
    EXPECT_FALSE(std::filesystem::exists(dir / "images" / "scan.png"));
}

TEST_F(WriteBackTest, AFolderThatCannotBeWrittenChangesNothing) {
    params.picturePath = dir / "missing" / "bild.jpg";
    TWriteBackResult result = WriteBackEditedPicture(params, progress, thumbnail);
    EXPECT_EQ(result.code, TWriteBackCode::PictureWriteFailed);
    EXPECT_FALSE(std::filesystem::exists(dir / "thumbs" / "bild.jpg"));
    std::string message = WriteBackMessage(result, params);
    EXPECT_NE(message.find("kann nicht geschrieben werden"), std::string::npos) << message;

    picture.FreeImage();
    EXPECT_EQ(WriteBackEditedPicture(params, progress, thumbnail).code, TWriteBackCode::NoPicture);
}

// The large version gets the session's changes, without those taken back, and is written at its
// own quality; one that cannot be read is removed instead of showing the picture unedited.
TEST_F(WriteBackTest, TheLargeVersionGetsTheSameChanges) {
    testing::ScriptedPrompts prompts;
    TEditSession session(prompts);
    std::filesystem::path stored = dir / "images" / "bild.jpg", large = dir / "large" / "bild.jpg";
    std::filesystem::create_directories(large.parent_path());
    TDibGraphic original;
    FillPattern(original, 600, 400);
    TJpegGraphic jpeg;
    jpeg.CopyFromGraphic(&picture);
    jpeg.WriteToFile(stored);
    jpeg.CopyFromGraphic(&original);
    jpeg.WriteToFile(large);
    TDibGraphic largeBefore;
    LoadPictureFile(large, 1, {}, largeBefore);

    session.LoadPicture(stored);
    session.Apply(TEditAction::actRotateRight);
    session.Apply(TEditAction::actMirror);
    session.ApplyGamma(1.8);
    session.Undo();
    ASSERT_EQ(session.Changes().size(), 2u);
    params = {&session.Picture(), stored, dir / "thumbs", large, &session.Changes(), 85};
    ASSERT_TRUE(WriteBackEditedPicture(params, progress, thumbnail).Ok());

    ReplayEditChanges(session.Changes(), largeBefore);
    ByteBuffer expectedBytes = EncodeJpeg(largeBefore, 85);
    TJpegGraphic expected, written;
    expected.ReadFromStream(testing::View(expectedBytes));
    written.ReadFromFile(large);
    EXPECT_EQ(written.Width(), 400);
    EXPECT_TRUE(SamePixels(written, expected));

    testing::WriteBytes(large, "kaputt");
    ASSERT_TRUE(WriteBackEditedPicture(params, progress, thumbnail).Ok());
    EXPECT_FALSE(std::filesystem::exists(large));
    EXPECT_TRUE(std::filesystem::exists(stored));
}

TEST(EditThumbnail, LandscapeGetsTheWidthAndEverythingElseTheHeight) {
    EXPECT_EQ(EditThumbnailSize(400, 300).width, 120);
    EXPECT_EQ(EditThumbnailSize(400, 300).height, 90);
    EXPECT_EQ(EditThumbnailSize(300, 400).width, 90);
    EXPECT_EQ(EditThumbnailSize(300, 400).height, 120);
    EXPECT_EQ(EditThumbnailSize(500, 500).width, 120);
    // A panorama: a side of 1 would be refused by the resampler, so it stays at 2.
    EXPECT_EQ(EditThumbnailSize(12000, 50).height, 2);
    EXPECT_EQ(EditThumbnailSize(50, 12000).width, 2);
}

} // namespace
} // namespace vistrel
