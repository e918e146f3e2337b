#include "cli/cli.h"
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

struct SiteCommandTest : ::testing::Test {
    TempDir dir;
    fs::path galleries = dir / "galleries";
    SiteCommandTest() {
        WriteBytes(galleries / "info.txt", "Urlaub\t\t\t\tUrlaub\ttrue\r\nLeer\t\t\t\tLeer\tfalse\r\n");
        WriteBytes(galleries / "Urlaub" / "thumbs" / "a.jpg", "thumb");
        WriteBytes(galleries / "Urlaub" / "images" / "a.jpg", "image");
        fs::create_directories(galleries / "Leer");
        WriteBytes(dir / "styles" / "Eins" / "index.html",
                   "/#ALLGALLERIES#/[/#GALLERYPAGEURL#/]/#ENDALLGALLERIES#/\r\n");
        WriteBytes(dir / "styles" / "Eins" / "thumbs.html",
                   "/#ALLTHUMBS#/[/#THUMBURL#/]/#ENDALLTHUMBS#/\r\n");
    }
    int Run(const std::vector<std::string>& command) {
        std::vector<std::string> args = {"--program-folder", dir.path().string()};
        args.insert(args.end(), command.begin(), command.end());
        return RunCliCaptured(args, out, err);
    }
    std::string out, err;
};

} // namespace

TEST_F(SiteCommandTest, BuildSitePrintsTheStartPage) {
    ASSERT_EQ(Run({"build-site"}), 0) << err;
    EXPECT_EQ(out, (galleries / "index.html").string() + "\n");
    EXPECT_NE(ReadBytes(galleries / "index.html").find("[Urlaub/index.html]"), std::string::npos);
    EXPECT_NE(ReadBytes(galleries / "Urlaub" / "index.html").find("[thumbs/a.jpg]"), std::string::npos);
    // The album list is saved at the end, with the repaired preview picture.
    EXPECT_EQ(ReadBytes(galleries / "info.txt").substr(0, 26), "Urlaub\t\t\ta.jpg\tUrlaub\ttrue");
}

TEST_F(SiteCommandTest, BuildSiteWithoutPicturesFails) {
    fs::remove_all(galleries / "Urlaub" / "thumbs");
    EXPECT_EQ(Run({"build-site"}), 1);
    EXPECT_TRUE(out.empty());
    EXPECT_NE(err.find("no published album has pictures"), std::string::npos);
}

TEST_F(SiteCommandTest, CdromCopiesTheSite) {
    TempDir elsewhere;
    fs::path target = elsewhere / "cd";
    ASSERT_EQ(Run({"cdrom", target.string() + "/"}), 0) << err;
    EXPECT_EQ(
        out,
        "Alle benötigten Dateien wurden zusammengestellt. Kopieren Sie die Dateien aus dem Verzeichnis " +
            target.string() + "/ in das Stammverzeichnis der CD.\n");
    // The album list is the program's own and stays at home.
    EXPECT_NE(err.find("4 Verzeichnisse mit 5 Dateien"), std::string::npos) << err;
    EXPECT_EQ(ReadBytes(target / "Urlaub" / "images" / "a.jpg"), "image");
    EXPECT_TRUE(fs::exists(target / "AUTORUN.INF"));
    EXPECT_FALSE(fs::exists(target / "Leer"));
    EXPECT_NE(ReadBytes(dir / "vistrel.ini").find("CDROMPATH=" + target.string() + "/\r\n"),
              std::string::npos);
    EXPECT_EQ(Run({"cdrom"}), 2);
}
