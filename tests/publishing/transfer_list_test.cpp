// Digests and the transfer list "transfer.lst".
#include "common/line_file.h"
#include "common/md5.h"
#include "publishing/transfer_list.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace vistrel;
using vistrel::testing::TempDir;
using vistrel::testing::WriteBytes;

namespace {

TEST(Md5, DigestsAreUpperCaseHexOfRfc1321) {
    EXPECT_EQ(Md5Hex(""), "D41D8CD98F00B204E9800998ECF8427E");
    EXPECT_EQ(Md5Hex("abc"), "900150983CD24FB0D6963F7D28E17F72");
    TempDir dir;
    std::string big(200000, 'x'); // more than one read chunk
    WriteBytes(dir / "f", big);
    EXPECT_EQ(Md5OfFile(dir / "f"), Md5Hex(big));
    EXPECT_EQ(Md5OfFile(dir / "missing"), "");
    EXPECT_EQ(Md5OfFile(dir.path()), "") << "a folder is no readable file";
}

struct LoadCase {
    const char* name;
    std::string stored; // file contents; empty: no file
    bool transferAll;
    bool matches;
};

class TransferListLoad : public ::testing::TestWithParam<LoadCase> {};

TEST_P(TransferListLoad, DecidesWhetherTheOldListCounts) {
    TempDir dir;
    std::string line = "/p/galleries/a.jpg\t3\t" + Md5Hex("abc");
    if (!GetParam().stored.empty()) WriteBytes(dir / "transfer.lst", GetParam().stored + line + "\r\n");
    TTransferList list;
    list.Open(dir / "transfer.lst", "ftp.example.org", "/web/", GetParam().transferAll);
    EXPECT_EQ(list.Old().size(), GetParam().matches ? 1u : 0u);
    // What the old file says about another server, or what "send everything" discards, is gone
    // from the stored file at once.
    std::vector<std::string> stored;
    ASSERT_TRUE(ReadLineFile(dir / "transfer.lst", stored));
    EXPECT_EQ(stored.size(), GetParam().matches ? 3u : 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TransferListLoad,
    ::testing::Values(LoadCase{"SameHostAndRoot", "ftp.example.org\r\n/web/\r\n", false, true},
                      LoadCase{"RootWithoutFinalSlash", "ftp.example.org\r\n/web\r\n", false, true},
                      LoadCase{"OtherHost", "ftp.example.com\r\n/web/\r\n", false, false},
                      LoadCase{"RootInOtherCase", "ftp.example.org\r\n/Web/\r\n", false, false},
                      LoadCase{"HostInOtherCase", "FTP.example.org\r\n/web/\r\n", false, false},
                      LoadCase{"TransferAll", "ftp.example.org\r\n/web/\r\n", true, false},
                      LoadCase{"NoFile", "", false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TransferList, SkipsOnlyFilesWhosePathSizeAndDigestAllMatch) {
    TempDir dir;
    std::string a = (dir / "a.jpg").string(), b = (dir / "b.jpg").string(), c = (dir / "c.jpg").string();
    WriteBytes(a, "abc");
    WriteBytes(b, "xyz");
    WriteBytes(c, "new");
    TTransferList list;
    list.SetOld({TransferLine(a, 3, Md5Hex("abc")), TransferLine(b, 3, Md5Hex("xy!")),
                 TransferLine(dir.path().string() + "/C.jpg", 3, Md5Hex("new"))});
    std::string line;
    EXPECT_TRUE(list.IsUnchanged(a, 3, line)) << "same path, size and digest";
    EXPECT_EQ(line, a + "\t3\t" + Md5Hex("abc"));
    EXPECT_FALSE(list.IsUnchanged(b, 3, line)) << "same size, other contents";
    EXPECT_FALSE(list.IsUnchanged(c, 3, line)) << "a name that differs in case is another file here";
    EXPECT_FALSE(list.IsUnchanged(a, 4, line)) << "another size";
}

// The stored file never claims a file that the server may not hold complete: a line leaves it
// before its file is sent and comes back only with the server's confirmation.
TEST(TransferList, StoredFileFollowsWhatTheServerHolds) {
    TempDir dir;
    const auto file = dir / "transfer.lst";
    std::string a = (dir / "a.jpg").string(), b = (dir / "b.jpg").string(),
                gone = (dir / "gone.jpg").string();
    WriteBytes(a, "abc");
    WriteBytes(b, "new contents");
    WriteBytes(file, "host\r\n/web/\r\n" + TransferLine(a, 3, Md5Hex("abc")) + "\r\n" +
                         TransferLine(b, 3, Md5Hex("old")) + "\r\n" + TransferLine(gone, 1, Md5Hex("g")) +
                         "\r\n");
    auto stored = [&] { return TTransferList::ReadStored(file); };
    TTransferList list;
    list.Open(file, "host", "/web/", false);
    std::string lineA, lineB;
    EXPECT_TRUE(list.IsUnchanged(a, 3, lineA));
    EXPECT_FALSE(list.IsUnchanged(b, 12, lineB));
    list.Forget({b});
    EXPECT_EQ(stored(), (std::vector<std::string>{"host", "/web/", TransferLine(a, 3, Md5Hex("abc")),
                                                  TransferLine(gone, 1, Md5Hex("g"))}))
        << "b's old line is gone before b is sent";

    // A run that stops here keeps every line that is still true, the vanished file's too.
    TTransferList stopped = list;
    stopped.Finish(false);
    EXPECT_EQ(stored().size(), 4u);

    list.Confirm(lineB);
    list.Finish(true);
    EXPECT_EQ(stored(), (std::vector<std::string>{"host", "/web/", TransferLine(a, 3, Md5Hex("abc")), lineB}))
        << "a completed run keeps the files it saw, the confirmed one included";
    EXPECT_NE(vistrel::testing::ReadBytes(file).find("\r\n"), std::string::npos);

    TTransferList next;
    next.Open(file, "host", "/web/", false);
    EXPECT_TRUE(next.IsUnchanged(b, 12, lineB));
    next.ForgetAll();
    EXPECT_EQ(stored(), (std::vector<std::string>{"host", "/web/"})) << "before everything is deleted";
}

// A run killed half-way leaves transfer.lst as it was and a journal beside it; the next run takes
// in what the journal says (a torn last line excepted) before it starts its own.
TEST(TransferList, AJournalLeftByAKillIsFoldedInByTheNextRun) {
    TempDir dir;
    const auto file = dir / "transfer.lst";
    std::string a = (dir / "a.jpg").string(), b = (dir / "b.jpg").string(), c = (dir / "c.jpg").string();
    WriteBytes(a, "a");
    WriteBytes(b, "b");
    WriteBytes(c, "c");
    {
        TTransferList first;
        first.Open(file, "host", "/web/", false);
        std::string line;
        for (const std::string& path : {a, b}) {
            first.IsUnchanged(path, 1, line);
            first.Confirm(line);
        }
        first.Finish(true);
    }
    TTransferList killed;
    killed.Open(file, "host", "/web/", false);
    WriteBytes(b, "bb");
    WriteBytes(c, "cc");
    std::string lineA, lineB, lineC;
    killed.IsUnchanged(a, 1, lineA);
    killed.IsUnchanged(b, 2, lineB);
    killed.IsUnchanged(c, 2, lineC);
    killed.Take(b);
    killed.Take(c);
    killed.Confirm(lineC);
    killed.Flush(true);
    // The process dies here: no Finish. A torn line follows the last whole one.
    const auto journal = TTransferJournal::PathFor(file);
    ASSERT_TRUE(std::filesystem::exists(journal));
    WriteBytes(journal, vistrel::testing::ReadBytes(journal) + "+\t" + lineB.substr(0, 5));
    EXPECT_EQ(TTransferList::ReadStored(file), (std::vector<std::string>{"host", "/web/", lineA, lineC}));

    TTransferList next;
    next.Open(file, "host", "/web/", false);
    std::string line;
    EXPECT_TRUE(next.IsUnchanged(a, 1, line));
    EXPECT_FALSE(next.IsUnchanged(b, 2, line)) << "b was taken and never confirmed";
    EXPECT_TRUE(next.IsUnchanged(c, 2, line)) << "c's confirmation survived the kill";
    std::vector<std::string> onDisk;
    ASSERT_TRUE(ReadLineFile(file, onDisk));
    EXPECT_EQ(onDisk, (std::vector<std::string>{"host", "/web/", lineA, lineC}))
        << "folded into transfer.lst";
}

// The bookkeeping of a file does not grow with the list: a confirmation appends one journal line
// and transfer.lst is written once, at the end.
TEST(TransferList, ConfirmationsAppendToTheJournalAndTheEndWritesTheListOnce) {
    TempDir dir;
    const auto file = dir / "transfer.lst";
    TTransferList list;
    list.Open(file, "host", "/web/", true);
    const auto journal = TTransferJournal::PathFor(file);
    for (int i = 0; i < 2000; ++i)
        list.Confirm(TransferLine("/p/" + std::to_string(i) + ".jpg", 10, std::string(32, 'A')));
    std::vector<std::string> onDisk;
    ASSERT_TRUE(ReadLineFile(file, onDisk));
    EXPECT_EQ(onDisk.size(), 2u) << "transfer.lst is not rewritten per file";
    const std::string journalBytes = vistrel::testing::ReadBytes(journal);
    EXPECT_EQ(std::count(journalBytes.begin(), journalBytes.end(), '\n'), 2000);
    list.Finish(false);
    ASSERT_TRUE(ReadLineFile(file, onDisk));
    EXPECT_EQ(onDisk.size(), 2002u);
    EXPECT_FALSE(std::filesystem::exists(journal)) << "folded and gone";
    EXPECT_FALSE(list.WriteFailed());
}

} // namespace
