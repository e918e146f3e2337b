#include "cli_program.h"

using namespace vistrel;
using vistrel::testing::CliProgram;
using vistrel::testing::ReadBytes;
using vistrel::testing::WriteBytes;
namespace fs = std::filesystem;

namespace {

using CliPictureCommands = CliProgram;

} // namespace

TEST_F(CliPictureCommands, PicturesListsOneLinePerPicture) {
    ASSERT_EQ(Run({"pictures", "Sommer"}), 0) << err;
    EXPECT_EQ(out, "0\ta.jpg\tErstes\tZeile 1\\nZeile 2\n1\tb.jpg\tZweites\t\n");
    ASSERT_EQ(Run({"pictures", "1", "--json"}), 0) << err;
    EXPECT_EQ(out, "[\n {\"index\": 0, \"file\": \"a.jpg\", \"title\": \"Schnee\", \"text\": \"\"},\n"
                   " {\"index\": 1, \"file\": \"b.jpg\", \"title\": \"\", \"text\": \"\"}\n]\n");
}

TEST_F(CliPictureCommands, PictureInfoSetsTitleAndTextAsTheDialog) {
    ASSERT_EQ(Run({"picture-info", "Winter", "b.jpg", "--title", "Eis", "--text", "Kalt\\nsehr kalt"}), 0)
        << err;
    ASSERT_EQ(Run({"picture-info", "Winter", "0", "--text", "Weiß"}), 0) << err;
    EXPECT_EQ(ReadBytes(galleries / "Winter" / "info.txt"),
              "a.jpg\tSchnee\tWei\xDF\r\nb.jpg\tEis\tKalt\x01sehr kalt\r\n");
}

TEST_F(CliPictureCommands, DeletePicturesRemovesFilesAndEntries) {
    ASSERT_EQ(Run({"delete-pictures", "Sommer", "1", "a.jpg", "b.jpg"}), 0) << err;
    EXPECT_FALSE(fs::exists(galleries / "Sommer" / "images" / "a.jpg"));
    EXPECT_FALSE(fs::exists(galleries / "Sommer" / "thumbs" / "b.jpg"));
    ASSERT_EQ(Run({"pictures", "Sommer"}), 0);
    EXPECT_EQ(out, "");
    EXPECT_TRUE(fs::exists(galleries / "Winter" / "images" / "a.jpg"));
}

TEST_F(CliPictureCommands, RotateTurnsThePictureAndRebuildsTheThumbnail) {
    ASSERT_EQ(Run({"rotate", "Sommer", "b.jpg", "left"}), 0) << err;
    TJpegGraphic picture;
    picture.ReadFromFile(galleries / "Sommer" / "images" / "b.jpg");
    EXPECT_EQ(picture.Width(), 30);
    TJpegGraphic thumb;
    thumb.ReadFromFile(galleries / "Sommer" / "thumbs" / "b.jpg");
    EXPECT_EQ(thumb.Height(), 120);
    WriteBytes(galleries / "Sommer" / "images" / "a.jpg", "no picture");
    EXPECT_EQ(Run({"rotate", "Sommer", "a.jpg", "right"}), 1);
    EXPECT_NE(err.find("a.jpg"), std::string::npos) << "the window's German message: " << err;
}

TEST_F(CliPictureCommands, CopyAppendsUnderFreeNamesAndMoveEmptiesTheSource) {
    ASSERT_EQ(Run({"copy-pictures", "Sommer", "a.jpg", "Winter"}), 0) << err;
    EXPECT_EQ(out, "2\ta(1).jpg\n");
    EXPECT_TRUE(fs::exists(galleries / "Winter" / "images" / "a(1).jpg"));
    EXPECT_EQ(ReadBytes(galleries / "Winter" / "thumbs" / "a(1).jpg"), "thumb");
    EXPECT_TRUE(fs::exists(galleries / "Sommer" / "images" / "a.jpg")) << "a copy leaves the source";
    ASSERT_EQ(Run({"copy-pictures", "Sommer", "b.jpg", "Sommer"}), 0) << "a copy within one album";
    EXPECT_EQ(out, "2\tb(1).jpg\n");

    ASSERT_EQ(Run({"move-pictures", "Sommer", "0", "1", "Winter"}), 0) << err;
    EXPECT_EQ(out, "3\ta(2).jpg\n4\tb(1).jpg\n");
    EXPECT_FALSE(fs::exists(galleries / "Sommer" / "images" / "a.jpg"));
    EXPECT_EQ(ReadBytes(galleries / "Sommer" / "info.txt"), "b(1).jpg\tZweites\r\n");
    ASSERT_EQ(Run({"pictures", "Winter"}), 0);
    EXPECT_NE(out.find("3\ta(2).jpg\tErstes\tZeile 1\\nZeile 2\n"), std::string::npos) << out;
}

TEST_F(CliPictureCommands, RefusalsChangeNothing) {
    std::string before = ReadBytes(galleries / "Sommer" / "info.txt");
    struct Case {
        std::vector<std::string> args;
        int code;
    } cases[] = {
        {{"pictures"}, 2},
        {{"pictures", "Sommer", "--xml"}, 2},
        {{"pictures", "Herbst"}, 1},
        {{"delete-pictures", "Sommer"}, 2},
        {{"delete-pictures", "Sommer", "a.jpg", "c.jpg"}, 1},
        {{"rotate", "Sommer", "a.jpg"}, 2},
        {{"rotate", "Sommer", "a.jpg", "180"}, 2},
        {{"rotate", "Sommer", "7", "left"}, 1},
        {{"picture-info", "Sommer", "a.jpg"}, 2},
        {{"picture-info", "Sommer", "c.jpg", "--title", "x"}, 1},
        {{"copy-pictures", "Sommer", "Winter"}, 2},
        {{"copy-pictures", "Sommer", "c.jpg", "Winter"}, 1},
        {{"copy-pictures", "Sommer", "a.jpg", "Herbst"}, 1},
        {{"move-pictures", "Sommer", "a.jpg", "Sommer"}, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run(c.args), c.code) << c.args[0] << " " << (c.args.size() > 1 ? c.args[1] : "");
        EXPECT_FALSE(err.empty());
    }
    EXPECT_EQ(ReadBytes(galleries / "Sommer" / "info.txt"), before);
    EXPECT_EQ(ReadBytes(galleries / "Winter" / "info.txt"), "a.jpg\tSchnee\r\nb.jpg\r\n");
    EXPECT_TRUE(fs::exists(galleries / "Sommer" / "images" / "a.jpg"));
}
