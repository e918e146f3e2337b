#include "settings/program_folders.h"
#include "support/test_support.h"

#include <QByteArray>
#include <gtest/gtest.h>

using namespace vistrel;
using vistrel::testing::ReadBytes;
using vistrel::testing::TempDir;
using vistrel::testing::WriteBytes;
namespace fs = std::filesystem;

namespace {

// Points the user's data folder at a scratch folder for one test and restores it afterwards.
struct ProgramFolderTest : ::testing::Test {
    TempDir dir;
    QByteArray savedDataHome = qgetenv("XDG_DATA_HOME");

    void SetUp() override { qputenv("XDG_DATA_HOME", QByteArray::fromStdString((dir / "data").string())); }
    void TearDown() override { qputenv("XDG_DATA_HOME", savedDataHome); }

    fs::path User() const { return dir / "data" / "vistrel"; }

    // The layout of `cmake --install`: <prefix>/bin and <prefix>/share/vistrel.
    fs::path MakeInstalledPrefix() const {
        fs::path prefix = dir / "usr";
        fs::create_directories(prefix / "bin");
        WriteBytes(prefix / "share" / "vistrel" / "styles" / "Atelier" / "index.html", "shipped");
        WriteBytes(prefix / "share" / "vistrel" / "scripts" / "navigation.js", "js");
        WriteBytes(prefix / "share" / "vistrel" / "HTML" / "index.htm", "help");
        WriteBytes(prefix / "share" / "vistrel" / "sendpostcard.pl", "perl");
        return prefix;
    }
};

} // namespace

TEST_F(ProgramFolderTest, PortableFolderIsTheExecutableFolder) {
    fs::path app = dir / "build" / "app";
    WriteBytes(app / "styles" / "Atelier" / "index.html", "x");
    EXPECT_EQ(ResolveProgramFolder(app), app);
    EXPECT_FALSE(fs::exists(User()));
}

TEST_F(ProgramFolderTest, InstalledProgramUsesTheUserFolderFilledFromShare) {
    fs::path prefix = MakeInstalledPrefix();
    EXPECT_EQ(InstalledDataFolder(prefix / "bin"), prefix / "share" / "vistrel");
    // The staging bin/ is writable, yet the shipped data beside it marks the program as installed.
    ASSERT_EQ(ResolveProgramFolder(prefix / "bin"), User());
    EXPECT_EQ(ReadBytes(User() / "styles" / "Atelier" / "index.html"), "shipped");
    EXPECT_EQ(ReadBytes(User() / "scripts" / "navigation.js"), "js");
    EXPECT_EQ(ReadBytes(User() / "HTML" / "index.htm"), "help");
    EXPECT_EQ(ReadBytes(User() / "sendpostcard.pl"), "perl");
}

TEST_F(ProgramFolderTest, LaterStartsKeepUserChangesAndAddNewStyles) {
    fs::path prefix = MakeInstalledPrefix();
    ResolveProgramFolder(prefix / "bin");
    WriteBytes(User() / "styles" / "Atelier" / "index.html", "edited by the user");
    fs::remove(User() / "scripts" / "navigation.js");
    WriteBytes(User() / "sendpostcard.pl", "configured for my server");
    WriteBytes(prefix / "share" / "vistrel" / "styles" / "Raster" / "index.html", "new in an update");

    ASSERT_EQ(ResolveProgramFolder(prefix / "bin"), User());
    EXPECT_EQ(ReadBytes(User() / "styles" / "Atelier" / "index.html"), "edited by the user");
    EXPECT_EQ(ReadBytes(User() / "styles" / "Raster" / "index.html"), "new in an update");
    EXPECT_EQ(ReadBytes(User() / "scripts" / "navigation.js"), "js");
    EXPECT_EQ(ReadBytes(User() / "sendpostcard.pl"), "configured for my server");
}

TEST_F(ProgramFolderTest, WithoutDataHomeTheFolderIsBelowHome) {
    fs::path prefix = MakeInstalledPrefix();
    QByteArray savedHome = qgetenv("HOME");
    qunsetenv("XDG_DATA_HOME");
    qputenv("HOME", QByteArray::fromStdString((dir / "home").string()));
    fs::path folder = ResolveProgramFolder(prefix / "bin");
    qputenv("HOME", savedHome);
    EXPECT_EQ(folder, dir / "home" / ".local" / "share" / "vistrel");
    EXPECT_TRUE(fs::is_regular_file(folder / "styles" / "Atelier" / "index.html"));
}
