#include "cli/cli.h"
#include "support/test_support.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace vistrel;
using vistrel::testing::TempDir;
using vistrel::testing::WriteBytes;
namespace fs = std::filesystem;

namespace {

struct PublishCommandTest : ::testing::Test {
    TempDir dir;
    PublishCommandTest() {
        WriteBytes(dir / "galleries" / "info.txt", "Urlaub\t\t\t\tUrlaub\ttrue\r\n");
        WriteBytes(dir / "galleries" / "Urlaub" / "thumbs" / "a.jpg", "thumb");
        WriteBytes(dir / "galleries" / "Urlaub" / "images" / "a.jpg", "image");
        WriteBytes(dir / "styles" / "Eins" / "thumbs.html",
                   "/#ALLTHUMBS#/[/#THUMBURL#/]/#ENDALLTHUMBS#/\r\n");
    }
    int Run(const std::vector<std::string>& command) {
        std::vector<std::string> args = {"--program-folder", dir.path().string(), "publish"};
        args.insert(args.end(), command.begin(), command.end());
        std::ostringstream o, e;
        int code = cli::RunCliWith(args, "/nonexistent", o, e);
        out = o.str();
        return code;
    }
    std::string out;
};

} // namespace

TEST_F(PublishCommandTest, UnknownArgumentIsAUsageError) {
    EXPECT_EQ(Run({"--everything"}), 2);
}

TEST_F(PublishCommandTest, WithoutAHostNothingIsSentAndTheRunFails) {
    EXPECT_EQ(Run({}), 1);
    EXPECT_NE(out.find("Anzahl der Verzeichnisse: 4"), std::string::npos) << out;
    EXPECT_EQ(out.find("Verbindung mit"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "transfer.lst"));
}
