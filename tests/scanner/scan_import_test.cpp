#include "album_library/import_job.h"
#include "cli/cli.h"
#include "image_processing/graphic_registry.h"
#include "sane_config.h"
#include "support/cli_run.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace vistrel;
using vistrel::testing::ReadBytes;
using vistrel::testing::RunCliCaptured;
using vistrel::testing::ScriptedPrompts;
using vistrel::testing::TempDir;
using vistrel::testing::UseNoSaneDevice;
using vistrel::testing::UseSaneTestBackend;
using vistrel::testing::WriteBytes;
namespace fs = std::filesystem;

namespace {

TEST(ScanFileName, GetsOneJpgExtensionAndAWebSafeName) {
    struct Row {
        const char* answer;
        const char* stored;
    } rows[] = {
        {"scan", "scan.jpg"},
        {"scan.JPG", "scan.JPG"}, // the import then stores it as "scan.jpg"
        {"scan.jpg", "scan.jpg"},
        {"scan.png", "scan.png.jpg"},
        {"scan.jpeg", "scan.jpeg.jpg"},
        {"M\xFC"
         "ll & Co/Seite 1",
         "Muell___Co_Seite_1.jpg"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ScanFileName(row.answer), row.stored) << row.answer;
}

struct ScanIntoAlbum : ::testing::Test {
    TempDir dir;
    fs::path album = dir / "galleries" / "Sommer";
    std::string out, err;

    ScanIntoAlbum() {
        fs::create_directories(album / "images");
        fs::create_directories(dir / "styles" / "Klassisch");
        WriteBytes(dir / "galleries" / "info.txt", "Sommer\t\t\t\tSommer\tfalse\r\n");
        WriteBytes(album / "info.txt", "alt.jpg\tAlter Titel\r\n");
    }

    int Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--program-folder", dir.path().string(), "scan"});
        return RunCliCaptured(args, out, err);
    }

    std::string Size(const fs::path& file) {
        TDibGraphic picture;
        LoadPictureFile(file, 1, {}, picture);
        return std::to_string(picture.Width()) + "x" + std::to_string(picture.Height());
    }
};

TEST_F(ScanIntoAlbum, TheImportStoresTheScannedPictureLikeAFile) {
    ScriptedPrompts prompts;
    TProgramSettings settings(TProgramFolders::For(dir.path()), prompts);
    settings.edMaxWidth = "500";
    settings.edMaxHeight = "500";
    settings.rgOverwriteFiles = 0;
    TPictureList pictures;
    ImportProgress silent;
    TImportJob job(settings, silent, album, pictures);
    for (const char* answer : {"scan", "scan.JPG"}) {
        TDibGraphic picture;
        picture.NewImage(400, 200, ifGray256);
        TImportResult outcome = job.ImportScanned(picture, ScanFileName(answer));
        ASSERT_EQ(ImportMessage(outcome), "");
        ASSERT_EQ(outcome.stored.size(), 1u);
        EXPECT_EQ(outcome.stored[0], album / "images" / "scan.jpg");
        EXPECT_TRUE(picture.IsEmpty());
    }
    // The second scan of the same name replaced the first, as rgOverwriteFiles 0 says.
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0].FileName(), "scan.jpg");
    EXPECT_EQ(Size(album / "images" / "scan.jpg"), "500x250");
    EXPECT_EQ(Size(album / "thumbs" / "scan.jpg"), "120x60");
}

TEST_F(ScanIntoAlbum, CommandLineScansTheLastFeederPageIntoTheAlbum) {
    UseSaneTestBackend("number_of_devices 2\n");
    ASSERT_EQ(Run({"--list"}), 0) << err;
    EXPECT_EQ(out, "test:0\tNoname\tfrontend-tester\tvirtual device\n"
                   "test:1\tNoname\tfrontend-tester\tvirtual device\n");

    ASSERT_EQ(Run({"Sommer", "Seite", "--device", "test:1", "--option", "source=Automatic Document Feeder",
                   "--option", "mode=Color"}),
              0)
        << err;
    fs::path stored = album / "images" / "Seite.jpg";
    EXPECT_EQ(out, stored.string() + "\n");
    EXPECT_EQ(Size(stored), "500x245"); // 200 x 98 pixels at the maximum width of 500
    EXPECT_EQ(ReadBytes(album / "info.txt"), "alt.jpg\tAlter Titel\r\nSeite.jpg\r\n");
    EXPECT_NE(ReadBytes(dir / "vistrel.ini").find("Device=test:1"), std::string::npos);

    // By index, with the remembered device and options, in the name rule's ".jpg".
    ASSERT_EQ(Run({"0", "scan.png"}), 0) << err;
    EXPECT_EQ(out, (album / "images" / "scan.png.jpg").string() + "\n");
}

TEST_F(ScanIntoAlbum, CommandLineFailuresAndUsage) {
    UseNoSaneDevice();
    EXPECT_EQ(Run({"--list"}), 1);
    EXPECT_EQ(err, "TWAIN Schnittstelle nicht gefunden\n");
    EXPECT_EQ(Run({"Sommer", "scan"}), 1);
    EXPECT_EQ(err, "TWAIN Schnittstelle nicht gefunden\n");
    EXPECT_FALSE(fs::exists(album / "images" / "scan.jpg"));

    UseSaneTestBackend();
    EXPECT_EQ(Run({"Sommer", "scan", "--option", "mode=Sepia"}), 1);
    EXPECT_EQ(err.rfind("Der Scanner nimmt die Einstellung nicht an.\n", 0), 0u) << err;
    EXPECT_EQ(Run({"Winter", "scan"}), 1);
    EXPECT_FALSE(fs::exists(album / "images" / "scan.jpg"));

    for (std::vector<std::string> bad :
         std::vector<std::vector<std::string>>{{},
                                               {"Sommer"},
                                               {"Sommer", "a", "b"},
                                               {"--list", "Sommer"},
                                               {"Sommer", "a", "--option", "mode"},
                                               {"Sommer", "a", "--device"},
                                               {"Sommer", "a", "--colour"}})
        EXPECT_EQ(Run(bad), 2);
}

} // namespace
