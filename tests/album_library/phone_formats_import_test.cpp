// Pictures as phones and the web make them (HEIC, AVIF, WebP) through the whole import: the folder
// import and the drop take them, a broken one stores nothing, and HEIF's own rotation is the only one.
#include "album_library/exif_orientation.h"
#include "album_library/import_job.h"
#include "image_processing/graphic_registry.h"
#include "image_processing/png_graphic.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using namespace vistrel;
using vistrel::testing::ReadBytes;
using vistrel::testing::ScriptedPrompts;
using vistrel::testing::TempDir;
using vistrel::testing::WriteBytes;
namespace fs = std::filesystem;

namespace {

bool RunTool(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

struct PhoneFormatsImport : ::testing::Test {
    TempDir dir;
    ScriptedPrompts prompts;
    TProgramSettings settings{TProgramFolders::For(dir.path()), prompts};
    ImportProgress progress;
    fs::path album = dir / "galleries" / "Album";
    fs::path in = dir / "in";
    TPictureList pictures;
    TImportJob job{settings, progress, album, pictures};

    void SetUp() override {
        if (!RunTool("command -v heif-enc && command -v avifenc && command -v cwebp"))
            GTEST_SKIP() << "tools missing";
        fs::create_directories(in);
        TPngGraphic png;
        png.NewImage(300, 200, ifRgb24);
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 300; ++x)
                png.WritePixel(x, y, TColor(x * 255 / 299) << 16 | TColor(y * 255 / 199) << 8 | 0x40);
        png.WriteToFile(dir / "source.png");
        std::string src = "'" + (dir / "source.png").string() + "'";
        ASSERT_TRUE(RunTool("heif-enc -q 60 " + src + " -o '" + (in / "IMG_0001.HEIC").string() + "'"));
        ASSERT_TRUE(RunTool("avifenc --min 20 --max 30 -s 10 --irot 1 " + src + " '" +
                            (in / "turned.avif").string() + "'"));
        ASSERT_TRUE(RunTool("cwebp -q 60 " + src + " -o '" + (in / "web.webp").string() + "'"));
        std::string heic = ReadBytes(in / "IMG_0001.HEIC");
        WriteBytes(in / "broken.heic", heic.substr(0, heic.size() / 2));
        WriteBytes(in / "notes.txt", "no picture");
    }
    std::vector<std::string> Files(const std::string& sub) {
        std::vector<std::string> names;
        if (fs::exists(album / sub))
            for (const auto& entry : fs::directory_iterator(album / sub))
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

} // namespace

TEST_F(PhoneFormatsImport, FolderImportTakesThemAndSkipsTheBrokenOne) {
    TImportResult outcome = job.ImportFolder(in);
    ASSERT_EQ(outcome.stored.size(), 3u);
    std::vector<std::string> expected{"IMG_0001.jpg", "turned.jpg", "web.jpg"};
    EXPECT_EQ(Files("images"), expected);
    EXPECT_EQ(Files("thumbs"), expected);
    // The AVIF carried a quarter turn: stored upright, portrait.
    std::unique_ptr<TDibGraphic> turned = LoadPictureFile(album / "images" / "turned.jpg", 1, nullptr);
    EXPECT_LT(turned->Width(), turned->Height());
    std::unique_ptr<TDibGraphic> phone = LoadPictureFile(album / "images" / "IMG_0001.jpg", 1, nullptr);
    EXPECT_GT(phone->Width(), phone->Height());
}

TEST_F(PhoneFormatsImport, DropTakesThemToo) {
    TImportResult outcome = job.ImportDropped({in / "web.webp", in / "notes.txt", in / "IMG_0001.HEIC"});
    EXPECT_EQ(outcome.stored.size(), 2u);
}

TEST_F(PhoneFormatsImport, BrokenFileGivesTheGermanMessageAndStoresNothing) {
    TImportResult outcome = job.ImportFiles({in / "broken.heic"});
    ASSERT_EQ(outcome.leftOut.size(), 1u);
    EXPECT_EQ(outcome.leftOut[0].problem, TImportProblem::Broken);
    EXPECT_NE(ImportMessage(outcome).find("- \"broken.heic\": Das Bild ist besch\xE4"
                                          "digt"),
              std::string::npos)
        << ImportMessage(outcome);
    EXPECT_TRUE(Files("images").empty());
    EXPECT_TRUE(Files("thumbs").empty());
    // A JPEG named .heic is refused the same way.
    fs::copy_file(album.parent_path().parent_path() / "source.png", in / "png.heic");
    outcome = job.ImportFiles({in / "png.heic"});
    ASSERT_EQ(outcome.leftOut.size(), 1u);
    EXPECT_EQ(outcome.leftOut[0].problem, TImportProblem::Broken);
    EXPECT_TRUE(Files("images").empty());
}
