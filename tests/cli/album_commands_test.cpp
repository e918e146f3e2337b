#include "cli_program.h"

#include <cstdlib>

using namespace vistrel;
using vistrel::testing::CliProgram;
using vistrel::testing::ReadBytes;
namespace fs = std::filesystem;

namespace {

using CliAlbumCommands = CliProgram;

} // namespace

TEST_F(CliAlbumCommands, NewAlbumMakesTheFolderAndStoresTheFields) {
    ASSERT_EQ(Run({"new-album", "Gärten im Mai", "--info", "Blüten", "--text", "Zeile 1\\nZeile 2"}), 0)
        << err;
    EXPECT_EQ(out, "2\tGaerten_im_Mai\n");
    EXPECT_TRUE(fs::is_directory(galleries / "Gaerten_im_Mai" / "images"));
    EXPECT_NE(AlbumList().find("Gaerten_im_Mai\tBl\xFCten\tZeile 1\x01Zeile 2"), std::string::npos)
        << AlbumList();
    ASSERT_EQ(Run({"new-album", ""}), 0) << err;
    EXPECT_EQ(out, "3\tNeues_Album\n") << "a title below \"!\" is the window's default";
    ASSERT_EQ(Run({"new-album", "Gärten im Mai"}), 0);
    EXPECT_NE(out, "4\tGaerten_im_Mai\n") << "a taken folder name is not reused";
}

TEST_F(CliAlbumCommands, EditAlbumRenamesTheFolderAndKeepsWhatIsNotGiven) {
    ASSERT_EQ(Run({"edit-album", "sommer", "--title", "Sommer 2024"}), 0) << err;
    EXPECT_EQ(out, "0\tSommer_2024\n");
    EXPECT_TRUE(fs::exists(galleries / "Sommer_2024" / "images" / "a.jpg"));
    EXPECT_FALSE(fs::exists(galleries / "Sommer"));
    ASSERT_EQ(Run({"albums", "--json"}), 0);
    EXPECT_NE(out.find("\"title\": \"Sommer 2024\", \"info\": \"Am See\""), std::string::npos) << out;
    ASSERT_EQ(Run({"edit-album", "0", "--text", "neu"}), 0);
    ASSERT_EQ(Run({"albums", "--json"}), 0);
    EXPECT_NE(out.find("\"title\": \"Sommer 2024\", \"info\": \"Am See\", \"text\": \"neu\""),
              std::string::npos);
}

TEST_F(CliAlbumCommands, PublishMarkMoveAndPreviewChangeTheList) {
    ASSERT_EQ(Run({"publish-mark", "Sommer", "on"}), 0) << err;
    ASSERT_EQ(Run({"publish-mark", "1", "off"}), 0) << err;
    ASSERT_EQ(Run({"album-preview", "Winter", "1"}), 0) << err;
    ASSERT_EQ(Run({"move-album", "Winter", "up"}), 0) << err;
    EXPECT_EQ(out, "0\tWinter\n");
    EXPECT_EQ(AlbumList(), "Winter\t\t\tb.jpg\tWinter\tfalse\r\nSommer\tAm See\t\t\tSommer\ttrue\r\n");
    ASSERT_EQ(Run({"move-album", "Winter", "down"}), 0);
    ASSERT_EQ(Run({"move-album", "Sommer", "1"}), 0);
    EXPECT_EQ(AlbumList().rfind("Sommer", 0), std::string::npos) << "Sommer is second again";
}

TEST_F(CliAlbumCommands, DeleteAlbumMovesItToTheTrash) {
    ASSERT_EQ(Run({"delete-album", "Sommer"}), 0) << err;
    EXPECT_FALSE(fs::exists(galleries / "Sommer"));
    fs::path trash = fs::path(std::getenv("XDG_DATA_HOME")) / "Trash" / "files";
    bool trashed = false;
    for (const auto& entry : fs::directory_iterator(trash))
        trashed |= fs::exists(entry.path() / "images" / "a.jpg") &&
                   entry.path().filename().string().rfind("Sommer", 0) == 0;
    EXPECT_TRUE(trashed);
    EXPECT_EQ(AlbumList(), "Winter\t\t\t\tWinter\ttrue\r\n");
    ASSERT_EQ(Run({"delete-album", "0"}), 0);
    ASSERT_EQ(Run({"albums"}), 0);
    EXPECT_EQ(out, "0\tNeues_Album\tfalse\t0\tNeues Album\n") << "one album is always left";
}

TEST_F(CliAlbumCommands, RefusalsChangeNothing) {
    std::string before = AlbumList();
    struct Case {
        std::vector<std::string> args;
        int code;
    } cases[] = {
        {{"new-album"}, 2},
        {{"new-album", "A", "B"}, 2},
        {{"new-album", "A", "--info"}, 2},
        {{"new-album", "A", "--bogus", "x"}, 2},
        {{"edit-album", "Sommer"}, 2},
        {{"edit-album", "Herbst", "--title", "x"}, 1},
        {{"delete-album"}, 2},
        {{"delete-album", "5"}, 1},
        {{"move-album", "Sommer", "sideways"}, 2},
        {{"move-album", "Sommer", "-1"}, 2},
        {{"move-album", "Sommer", "up"}, 1},
        {{"move-album", "Winter", "down"}, 1},
        {{"move-album", "Sommer", "2"}, 1},
        {{"publish-mark", "Sommer", "yes"}, 2},
        {{"publish-mark", "Herbst", "on"}, 1},
        {{"album-preview", "Sommer", "c.jpg"}, 1},
        {{"album-preview", "Sommer"}, 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run(c.args), c.code) << c.args[0] << " " << (c.args.size() > 1 ? c.args[1] : "");
        EXPECT_FALSE(err.empty());
    }
    EXPECT_EQ(AlbumList(), before);
    EXPECT_EQ(fs::directory_iterator(galleries) != fs::directory_iterator(), true);
}

TEST_F(CliAlbumCommands, HelpPrintsTheCommandsOwnLines) {
    ASSERT_EQ(Run({"move-album", "--help"}), 0);
    EXPECT_EQ(out, "  move-album ALBUM up|down|POSITION\n"
                   "                         move an album in the list (POSITION 0-based)\n");
    ASSERT_EQ(Run({"style", "--help"}), 0);
    EXPECT_EQ(out.rfind("  style NAME", 0), 0u) << "not the lines of styles";
    EXPECT_EQ(out.find("styles"), std::string::npos);
    ASSERT_EQ(Run({"settings", "--help"}), 0);
    EXPECT_NE(out.find("set-password reads"), std::string::npos);
}
