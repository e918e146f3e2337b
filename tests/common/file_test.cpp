#include "common/atomic_file.h"
#include "common/folder_listing.h"
#include "common/line_file.h"
#include "support/test_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace vistrel;
using vistrel::testing::TempDir;

TEST(AtomicFile, ReplacesWholeAndLeavesNoTemporaryFiles) {
    TempDir dir;
    auto file = dir / "info.txt";
    WriteLineFile(file, {"alt"});
    WriteLineFile(file, {"neu", "zwei"});
    EXPECT_EQ(vistrel::testing::ReadBytes(file), "neu\r\nzwei\r\n");
    EXPECT_EQ(ListFolder(dir.path(), EntryKind::Files), std::vector<std::string>{"info.txt"});
}

TEST(AtomicFile, FailureKeepsThePreviousFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may write into a read-only folder";
    TempDir dir;
    auto file = dir / "info.txt";
    WriteLineFile(file, {"alt"});
    ::chmod(dir.path().c_str(), 0500);
    EXPECT_THROW(WriteLineFile(file, {"neu"}), EFileWriteError);
    ::chmod(dir.path().c_str(), 0700);
    EXPECT_EQ(vistrel::testing::ReadBytes(file), "alt\r\n");
}

// A pending file replaces the old one only when committed; one given up leaves nothing behind.
TEST(AtomicFile, PendingFileReplacesOnlyOnCommit) {
    TempDir dir;
    auto file = dir / "Bild.jpg";
    WriteFileAtomic(file, "alt");
    auto entries = [&] {
        return std::distance(std::filesystem::directory_iterator(dir.path()),
                             std::filesystem::directory_iterator());
    };
    {
        TPendingFile pending;
        pending.Write(file, "neu");
        EXPECT_EQ(vistrel::testing::ReadBytes(file), "alt");
        EXPECT_EQ(entries(), 2);
    }
    EXPECT_EQ(vistrel::testing::ReadBytes(file), "alt");
    EXPECT_EQ(entries(), 1);
    TPendingFile pending;
    pending.Write(file, "neu");
    pending.Commit();
    EXPECT_EQ(vistrel::testing::ReadBytes(file), "neu");
    EXPECT_EQ(entries(), 1);
}

TEST(AtomicFile, WritingIntoAMissingFolderThrows) {
    TempDir dir;
    EXPECT_THROW(WriteFileAtomic(dir / "fehlt/info.txt", "x"), EFileWriteError);
}

TEST(FolderListing, SortedWithoutRegardToCase) {
    TempDir dir;
    for (auto name : {"city", "Autumn", "beach"})
        std::filesystem::create_directory(dir / name);
    vistrel::testing::WriteBytes(dir / "B.txt", "x");
    EXPECT_EQ(ListFolder(dir.path(), EntryKind::Folders),
              (std::vector<std::string>{"Autumn", "beach", "city"}));
    EXPECT_EQ(ListFolder(dir.path(), EntryKind::Files), std::vector<std::string>{"B.txt"});
    EXPECT_TRUE(ListFolder(dir / "missing", EntryKind::Files).empty());
}
