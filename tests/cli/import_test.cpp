#include "cli/cli.h"
#include "image_processing/graphic_registry.h"
#include "support/cli_run.h"
#include "support/test_support.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace vistrel;
using vistrel::testing::ReadBytes;
using vistrel::testing::RunCliCaptured;
using vistrel::testing::TempDir;
using vistrel::testing::WriteBytes;
namespace fs = std::filesystem;

namespace {

const fs::path kFixtures = fs::path(VISTREL_TEST_DATA) / "import";

struct CliImport : ::testing::Test {
    TempDir dir;
    fs::path album = dir / "galleries" / "Sommer";
    std::string out, err;

    CliImport() {
        fs::create_directories(album / "images");
        fs::create_directories(dir / "styles" / "Klassisch");
        for (const char* name : {"portrait.gif", "palette.png", "colors256.bmp"})
            fs::copy_file(kFixtures / name, dir / name);
        WriteBytes(dir / "galleries" / "info.txt", "Sommer\t\t\t\tSommer\tfalse\r\n");
        WriteBytes(album / "info.txt", "alt.jpg\tAlter Titel\r\n");
    }

    int Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--program-folder", dir.path().string(), "import"});
        return RunCliCaptured(args, out, err);
    }

    std::string Size(const fs::path& file) {
        TDibGraphic picture;
        LoadPictureFile(file, 1, {}, picture);
        return std::to_string(picture.Width()) + "x" + std::to_string(picture.Height());
    }
};

} // namespace

TEST_F(CliImport, FilesFromOtherEncodersAreSortedStoredAndListed) {
    fs::copy_file(kFixtures / "landscape.jpg", dir / "Urlaub am Meer.JPG");
    ASSERT_EQ(Run({"Sommer", (dir / "portrait.gif").string(), (dir / "Urlaub am Meer.JPG").string(),
                   (dir / "palette.png").string(), (dir / "colors256.bmp").string()}),
              0)
        << err;
    fs::path images = album / "images";
    EXPECT_EQ(out, (images / "colors256.jpg").string() + "\n" + (images / "palette.jpg").string() + "\n" +
                       (images / "portrait.jpg").string() + "\n" + (images / "Urlaub_am_Meer.jpg").string() +
                       "\n");
    EXPECT_EQ(Size(images / "Urlaub_am_Meer.jpg"), "500x375");
    EXPECT_EQ(Size(album / "thumbs" / "Urlaub_am_Meer.jpg"), "120x90");
    EXPECT_EQ(Size(images / "portrait.jpg"), "375x500");
    EXPECT_EQ(Size(album / "thumbs" / "portrait.jpg"), "90x120");
    EXPECT_EQ(
        ReadBytes(album / "info.txt"),
        "alt.jpg\tAlter Titel\r\ncolors256.jpg\r\npalette.jpg\r\nportrait.jpg\r\nUrlaub_am_Meer.jpg\r\n");

    // Again, by index: the settings' default makes new names.
    ASSERT_EQ(Run({"0", (dir / "Urlaub am Meer.JPG").string()}), 0) << err;
    EXPECT_EQ(out, (images / "Urlaub_am_Meer(1).jpg").string() + "\n");
}

TEST_F(CliImport, EveryReadableFileIsImportedAndTheRestListedOnStderr) {
    fs::copy_file(kFixtures / "picture.tif", dir / "a.tif");
    WriteBytes(dir / "b.png", "broken");
    fs::copy_file(kFixtures / "portrait.gif", dir / "c.gif");
    EXPECT_EQ(Run({"Sommer", (dir / "c.gif").string(), (dir / "b.png").string(), (dir / "a.tif").string()}),
              1);
    EXPECT_EQ(out,
              (album / "images" / "a.jpg").string() + "\n" + (album / "images" / "c.jpg").string() + "\n");
    EXPECT_FALSE(fs::exists(album / "images" / "b.jpg"));
    EXPECT_EQ(ReadBytes(album / "info.txt"), "alt.jpg\tAlter Titel\r\na.jpg\r\nc.jpg\r\n");
    // The window's summary, in UTF-8 with the terminal's line ends.
    EXPECT_EQ(
        err.rfind("Von 3 Dateien wurden 2 importiert.\n\nNicht importiert:\n"
                  "- \"b.png\": Die Datei ist kein Bild in einem bekannten Format.\n\nDetails:\nb.png: ",
                  0),
        0u)
        << err;
    EXPECT_EQ(err.find('\r'), std::string::npos);
}

TEST_F(CliImport, BadArguments) {
    EXPECT_EQ(Run({"Sommer"}), 2);
    EXPECT_EQ(Run({"Winter", (kFixtures / "portrait.gif").string()}), 1);
    EXPECT_EQ(Run({"7", (kFixtures / "portrait.gif").string()}), 1);
}
