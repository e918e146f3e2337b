#include "publishing/upload_plan.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace vistrel;
using vistrel::testing::TempDir;
using vistrel::testing::WriteBytes;

// The album list and the picture lists name unpublished albums and every text: they stay at home.
TEST(ProgramListFiles, AreNeverPlannedForTheServer) {
    TempDir dir;
    WriteBytes(dir / "info.txt", "Privat\tGeheim\t\t\tPrivat\tfalse\r\n");
    WriteBytes(dir / "Info.TXT.bak", "kept: another name");
    WriteBytes(dir / "transfer.lst", "x");
    WriteBytes(dir / "index.html", "<html>");
    EXPECT_EQ(ListPlanFolder(dir.path().string() + "/").names,
              (std::vector<std::string>{"index.html", "Info.TXT.bak"}));
}

TEST(ProgramListFiles, CopiesSentByAnEarlierRunAreFoundInTheirFolder) {
    std::vector<std::string> old = {
        "/p/galleries/INFO.TXT\t10\tAB",       "/p/galleries/Sommer/index.html\t5\tCD",
        "/p/galleries/Sommer/info.txt\t7\tEF", "/p/galleries/Sommer/images/info.txt\t7\tEF",
        "/p/galleries/index.html\t3\t01",
    };
    EXPECT_EQ(ProgramFilesSentFrom(old, "/p/galleries/"), std::vector<std::string>{"INFO.TXT"});
    EXPECT_EQ(ProgramFilesSentFrom(old, "/p/galleries/Sommer/"), std::vector<std::string>{"info.txt"});
    EXPECT_TRUE(ProgramFilesSentFrom(old, "/p/galleries/Winter/").empty());
}
