#include "cli/cli.h"
#include "cli/cli_options.h"
#include "support/test_support.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace vistrel;
using vistrel::testing::ReadBytes;
using vistrel::testing::TempDir;
using vistrel::testing::WriteBytes;

TEST(CliOptions, Parsing) {
    auto options = cli::ParseCommandLine({"--program-folder", "/p", "import", "0", "a.jpg"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->programFolder, "/p");
    EXPECT_EQ(options->command, "import");
    EXPECT_EQ(options->arguments, (std::vector<std::string>{"0", "a.jpg"}));
    EXPECT_FALSE(cli::ParseCommandLine({}));
    EXPECT_FALSE(cli::ParseCommandLine({"--program-folder"}));
    EXPECT_FALSE(cli::ParseCommandLine({"--bogus", "albums"}));
    EXPECT_EQ(cli::ParseCommandLine({"--program-folder=/q", "albums"})->programFolder, "/q");
}

namespace {

int RunCommand(const std::vector<std::string>& args, const std::filesystem::path& folder, std::string& out,
               std::string& err) {
    std::ostringstream o, e;
    int code = cli::RunCliWith(args, folder.string(), o, e);
    out = o.str();
    err = e.str();
    return code;
}

} // namespace

TEST(CliAlbums, ListsAlbumsWrittenOnWindows) {
    TempDir dir;
    auto galleries = dir / "galleries";
    WriteBytes(galleries / "info.txt",
               "Sommer_2026\tInfo\tZeile 1\x01Zeile 2\tb.jpg\tSommer in M\xFCnchen\ttrue\r\n"
               "Gruesse\t\t\t\tGr\xFC\xDF"
               "e\tfalse\r\n");
    WriteBytes(galleries / "Sommer_2026/info.txt", "a.jpg\tTitel\r\nb.jpg\r\n");
    WriteBytes(galleries / "Sommer_2026/thumbs/c.jpg", "x");
    std::filesystem::create_directories(galleries / "Gruesse");
    std::string out, err;
    ASSERT_EQ(RunCommand({"albums"}, dir.path(), out, err), 0) << err;
    EXPECT_EQ(out, "0\tSommer_2026\ttrue\t3\tSommer in München\n"
                   "1\tGruesse\tfalse\t0\tGrüße\n");
    // The album list is saved at the end of every command, in the stored encoding.
    EXPECT_EQ(ReadBytes(galleries / "info.txt"),
              "Sommer_2026\tInfo\tZeile 1\x01Zeile 2\tb.jpg\tSommer in M\xFCnchen\ttrue\r\n"
              "Gruesse\t\t\t\tGr\xFC\xDF"
              "e\tfalse\r\n");
}

TEST(CliAlbums, FreshProgramFolderGetsOneAlbum) {
    TempDir dir;
    std::string out, err;
    ASSERT_EQ(RunCommand({"--program-folder", dir.path().string(), "albums"}, "/nonexistent", out, err), 0)
        << err;
    EXPECT_EQ(out, "0\tNeues_Album\tfalse\t0\tNeues Album\n");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "galleries/Neues_Album/images"));
}

TEST(CliAlbums, MistypedProgramFolderIsNotCreated) {
    TempDir dir;
    std::string out, err;
    EXPECT_EQ(
        RunCommand({"--program-folder", (dir / "typo" / "dir").string(), "albums"}, "/nonexistent", out, err),
        2);
    EXPECT_NE(err.find("does not exist"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(dir / "typo"));
}

TEST(CliAlbums, UsageErrorWritesNothing) {
    TempDir dir;
    WriteBytes(dir / "galleries" / "info.txt", "A\t\t\t\tA\tfalse\n");
    std::string out, err;
    EXPECT_EQ(RunCommand({"--program-folder", dir.path().string(), "import", "A"}, "/nonexistent", out, err),
              2);
    EXPECT_EQ(RunCommand({"--program-folder", dir.path().string(), "cdrom"}, "/nonexistent", out, err), 2);
    // The album list is still as written by hand (LF only): no command rewrote it.
    EXPECT_EQ(ReadBytes(dir / "galleries" / "info.txt"), "A\t\t\t\tA\tfalse\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "vistrel.ini"));
}

TEST(CliAlbums, BadArgumentsGiveUsageAndExitCode2) {
    TempDir dir;
    std::string out, err;
    EXPECT_EQ(RunCommand({"frobnicate"}, dir.path(), out, err), 2);
    EXPECT_NE(err.find("usage: vistrel-cli"), std::string::npos);
    EXPECT_EQ(RunCommand({"albums", "extra"}, dir.path(), out, err), 2);
    EXPECT_EQ(RunCommand({"--help"}, dir.path(), out, err), 0);
}
