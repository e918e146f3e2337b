// Renditions: the sizes planned for a picture, and a real album folder brought up to date with
// pictures that carry EXIF data: upright, without any metadata, the same bytes every time, and
// nothing written again when nothing changed.
#include "common/atomic_file.h"
#include "image_processing/jpeg_graphic.h"
#include "site_generator/rendition_list.h"
#include "site_generator/renditions.h"
#include "support/picture_metadata.h"
#include "support/test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace vistrel::testing {
namespace {

std::vector<int> Widths(const std::vector<TRenditionSize>& sizes) {
    std::vector<int> widths;
    for (const TRenditionSize& size : sizes)
        widths.push_back(size.width);
    return widths;
}

TEST(RenditionPlan, LadderAndThumbnailsNeverExceedTheSource) {
    struct Row {
        const char* name;
        int width, height;
        std::vector<int> ladder, thumbs;
    };
    const Row rows[] = {
        {"landscape above the ladder", 3000, 2000, {480, 800, 1200, 1600, 2048}, {120, 240, 360}},
        {"large version exactly at the top", 2048, 1365, {480, 800, 1200, 1600, 2048}, {120, 240, 360}},
        {"portrait by its width", 1365, 2048, {480, 800, 1200, 1365}, {80, 160, 240}},
        {"small picture ends at its width", 500, 300, {480, 500}, {120, 240, 360}},
        {"smaller than the first rung", 300, 200, {300}, {120, 240, 300}},
        {"smaller than the thumbnail box", 100, 50, {100}, {100}},
        {"one pixel", 1, 1, {1}, {1}},
    };
    for (const Row& row : rows) {
        TPictureRenditions plan = PlanRenditions("a.jpg", row.width, row.height);
        EXPECT_EQ(Widths(plan.ladder), row.ladder) << row.name;
        EXPECT_EQ(Widths(plan.thumbs), row.thumbs) << row.name;
    }
    EXPECT_EQ(PlanRenditions("a.jpg", 1365, 2048).thumbs.front(), (TRenditionSize{80, 120}));
    EXPECT_EQ(PlanRenditions("a.jpg", 3000, 2000).ladder.back(), (TRenditionSize{2048, 1365}));
    EXPECT_EQ(Widths(PlanRenditions("a.jpg", 300, 200).AllSizes()), (std::vector<int>{120, 240, 300}));
    EXPECT_TRUE(PlanRenditions("a.jpg", 0, 10).ladder.empty());
    EXPECT_EQ(RenditionFileName("Bild_10.jpg", 480, TRenditionFormat::Webp), "Bild_10-480.webp");
}

// An EXIF block with the orientation (6: turn 90 degrees clockwise) and a camera maker that must
// never reach a published file, and a JPEG comment with a serial number.
std::string ExifAndComment(int orientation) {
    std::string tiff = std::string("II\x2A\0\x08\0\0\0", 8);
    tiff += std::string("\x02\0", 2);
    tiff += std::string("\x12\x01\x03\0\x01\0\0\0", 8) + char(orientation) + std::string(3, '\0');
    tiff += std::string("\x0F\x01\x02\0\x08\0\0\0\x26\0\0\0", 12);
    tiff += std::string(4, '\0') + std::string("SECRET7\0", 8);
    std::string app1 = std::string("Exif\0\0", 6) + tiff;
    std::string exif = "\xFF\xE1";
    exif += char((app1.size() + 2) >> 8);
    exif += char((app1.size() + 2) & 0xFF);
    std::string comment = "\xFF\xFE";
    comment += char(0);
    comment += char(11 + 2);
    comment += "SERIAL-4711";
    return exif + app1 + comment;
}

void WritePicture(const fs::path& file, int width, int height, int shade, int orientation = 1) {
    TJpegGraphic picture;
    picture.NewImage(width, height, ifRgb24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.WritePixel(
                x, y, TColor((x * 255 / width) << 16 | (y * 255 / height) << 8 | (shade * 37 & 0xff)));
    ByteBuffer bytes;
    picture.WriteToStream(bytes);
    std::string jpeg(bytes.begin(), bytes.end());
    // Behind the JFIF segment, whose length follows its marker at offset 2.
    size_t afterApp0 = 4 + (size_t(uint8_t(jpeg[4])) << 8 | uint8_t(jpeg[5]));
    jpeg.insert(afterApp0, ExifAndComment(orientation));
    WriteBytes(file, jpeg);
}

struct RenditionFolder : ::testing::Test {
    TempDir dir;
    fs::path album = dir / "album";
    fs::path renditions = album / "renditions";
    std::vector<std::string> names = {"a.jpg", "b.jpg", "c.jpg"};

    RenditionFolder() {
        WritePicture(album / "images" / "a.jpg", 540, 360, 1, 6);
        WritePicture(album / "images" / "b.jpg", 400, 300, 2);
        WritePicture(album / "images" / "c.jpg", 300, 200, 3);
    }
    TRenditionOutcome Update(const std::vector<std::string>& pictures) {
        return UpdateRenditions(album, pictures, [](int) { return true; });
    }
    std::map<std::string, fs::file_time_type> Times() {
        std::map<std::string, fs::file_time_type> times;
        for (const auto& entry : fs::directory_iterator(renditions))
            times[entry.path().filename().string()] = entry.last_write_time();
        return times;
    }
    std::map<std::string, std::string> Files(const fs::path& folder) {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(folder))
            files[entry.path().filename().string()] = ReadBytes(entry.path());
        return files;
    }
    // Moves a file's time into the past, so that a rewrite would show.
    void Age(const fs::path& folder) {
        for (const auto& entry : fs::directory_iterator(folder))
            fs::last_write_time(entry.path(), entry.last_write_time() - std::chrono::hours(1));
    }
};

TEST_F(RenditionFolder, MakesUprightFilesWithoutAnyMetadata) {
    TRenditionOutcome outcome = Update(names);
    EXPECT_EQ(outcome.encoded, 3);
    EXPECT_THAT(outcome.failures, IsEmpty());
    ASSERT_EQ(outcome.pictures.size(), 3u);
    EXPECT_TRUE(outcome.pictures[0].ready);
    EXPECT_EQ(outcome.pictures[0].source, (TRenditionSize{360, 540}));

    TJpegGraphic upright;
    upright.ReadFromFile(renditions / "a-240.jpg");
    EXPECT_EQ(upright.Width(), 240);
    EXPECT_EQ(upright.Height(), 360);

    ASSERT_FALSE(CarriesOnlyThePicture(ReadBytes(album / "images" / "a.jpg"), false))
        << "the check sees EXIF";
    std::map<std::string, std::string> files = Files(renditions);
    // a: 80, 160, 240, 360 (its width); b: 120, 240, 360, 400; c: 120, 240, 300 - in two formats.
    EXPECT_EQ(files.size(), 2u * (4 + 4 + 3) + 1);
    for (const auto& [name, bytes] : files) {
        if (name == kRenditionList) continue;
        SCOPED_TRACE(name);
        for (const char* secret : {"SECRET7", "SERIAL-4711"})
            EXPECT_EQ(bytes.find(secret), std::string::npos) << secret;
        EXPECT_TRUE(CarriesOnlyThePicture(bytes, name.ends_with(".webp")));
    }
}

TEST_F(RenditionFolder, GivesTheSameBytesEveryTime) {
    Update(names);
    std::map<std::string, std::string> first = Files(renditions);
    fs::remove_all(renditions);
    Update(names);
    EXPECT_EQ(Files(renditions), first);
}

TEST_F(RenditionFolder, UnchangedRebuildWritesNothingAndAChangedPictureOnlyItsOwn) {
    Update(names);
    Age(renditions);
    auto before = Times();
    TRenditionOutcome again = Update(names);
    EXPECT_EQ(again.encoded, 0);
    EXPECT_EQ(Times(), before);

    WritePicture(album / "images" / "b.jpg", 400, 300, 9);
    TRenditionOutcome changed = Update(names);
    EXPECT_EQ(changed.encoded, 1);
    auto after = Times();
    for (const auto& [name, time] : after)
        EXPECT_EQ(time != before[name], name.starts_with("b-") || name == kRenditionList) << name;
}

TEST_F(RenditionFolder, SameBytesUnderANewTimeAreNotEncodedAgain) {
    Update(names);
    fs::path b = album / "images" / "b.jpg";
    fs::last_write_time(b, fs::last_write_time(b) + std::chrono::hours(2));
    EXPECT_EQ(Update(names).encoded, 0);
    EXPECT_EQ(ReadRenditionList(renditions / kRenditionList).at("b.jpg").modified,
              std::chrono::duration_cast<std::chrono::nanoseconds>(fs::last_write_time(b).time_since_epoch())
                  .count());
}

TEST_F(RenditionFolder, MissingFilesAreMadeAgainAndFilesOfGonePicturesRemoved) {
    Update(names);
    fs::remove(renditions / "c-240.webp");
    WriteBytes(renditions / "stray.webp", "x");
    TRenditionOutcome outcome = Update({"a.jpg", "c.jpg"});
    EXPECT_EQ(outcome.encoded, 1);
    EXPECT_EQ(outcome.removed, 8 + 1);
    EXPECT_TRUE(fs::exists(renditions / "c-240.webp"));
    for (const auto& entry : fs::directory_iterator(renditions))
        EXPECT_FALSE(entry.path().filename().string().starts_with("b-"));
    EXPECT_THAT(ReadRenditionList(renditions / kRenditionList), ::testing::SizeIs(2));
}

TEST_F(RenditionFolder, TheLargeVersionIsTheSourceWhenTheAlbumKeepsOne) {
    Update(names);
    WritePicture(album / "large" / "c.jpg", 900, 600, 3);
    TRenditionOutcome outcome = Update(names);
    EXPECT_EQ(outcome.encoded, 1);
    EXPECT_EQ(Widths(outcome.pictures[2].ladder), (std::vector<int>{480, 800, 900}));
    EXPECT_TRUE(fs::exists(renditions / "c-900.webp"));
    EXPECT_FALSE(fs::exists(renditions / "c-300.webp"));
}

TEST_F(RenditionFolder, AnUnreadablePictureIsNotedAndTheOthersAreMade) {
    WriteBytes(album / "images" / "b.jpg", "not a picture");
    TRenditionOutcome outcome = Update(names);
    ASSERT_EQ(outcome.failures.size(), 1u);
    EXPECT_NE(outcome.failures[0].find("b.jpg"), std::string::npos);
    EXPECT_FALSE(outcome.pictures[1].ready);
    EXPECT_TRUE(outcome.pictures[0].ready);
    EXPECT_TRUE(outcome.pictures[2].ready);
    EXPECT_EQ(outcome.encoded, 2);
}

TEST_F(RenditionFolder, StopKeepsWhatWasFinished) {
    Update({"a.jpg"});
    TRenditionOutcome outcome = UpdateRenditions(album, names, [&](int) { return false; });
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(outcome.encoded, 0);
    EXPECT_TRUE(outcome.pictures[0].ready);
    EXPECT_FALSE(outcome.pictures[1].ready);
    EXPECT_TRUE(fs::exists(renditions / "a-80.webp"));
    EXPECT_EQ(Update(names).encoded, 2);
}

TEST_F(RenditionFolder, RefusesAFolderThatLeadsOutOfTheAlbum) {
    fs::create_directories(dir / "elsewhere");
    fs::create_directories(album);
    fs::create_directory_symlink(dir / "elsewhere", renditions);
    EXPECT_THROW(Update(names), EFileWriteError);
    EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
}

} // namespace
} // namespace vistrel::testing
