// The publish job's pieces: digests, the transfer list, the upload plan, listing lines, and the
// job's command sequences against the scripted server.
#include "album_library/album_list.h"
#include "settings/program_settings.h"
#include "common/line_file.h"
#include "common/cp1252.h"
#include "common/md5.h"
#include "net/run_until.h"
#include "publishing/publish_job.h"
#include "scripted_ftp_server.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace vistrel;
using vistrel::testing::ScriptedFtpServer;
using vistrel::testing::ScriptedPrompts;
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
    list.LoadOld(dir / "transfer.lst", "ftp.example.org", "/web/", GetParam().transferAll);
    EXPECT_EQ(list.Old().size(), GetParam().matches ? 1u : 0u);
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
    list.StartNew("host", "/");
    size_t index = 0;
    EXPECT_TRUE(list.IsUnchanged(a, 3, index)) << "same path, size and digest";
    EXPECT_FALSE(list.IsUnchanged(b, 3, index)) << "same size, other contents";
    EXPECT_FALSE(list.IsUnchanged(c, 3, index)) << "a name that differs in case is another file here";
    EXPECT_FALSE(list.IsUnchanged(a, 4, index)) << "another size";
}

TEST(TransferList, WritesHeadersAndKeptLinesAndReadsThemBack) {
    TempDir dir;
    std::string a = (dir / "a.jpg").string(), gone = (dir / "gone.jpg").string();
    WriteBytes(a, "abc");
    TTransferList list;
    list.StartNew("host", "/web/");
    size_t first = 0, second = 0, third = 0;
    list.IsUnchanged(a, 3, first);
    list.IsUnchanged(gone, -1, second);
    list.IsUnchanged(a, 3, third);
    list.Drop(third);
    list.Drop(0); // headers cannot be dropped
    list.Write(dir / "transfer.lst");
    std::vector<std::string> lines;
    ASSERT_TRUE(ReadLineFile(dir / "transfer.lst", lines));
    EXPECT_EQ(lines, (std::vector<std::string>{"host", "/web/", a + "\t3\t" + Md5Hex("abc"), gone + "\t-1\t"}));
    EXPECT_NE(vistrel::testing::ReadBytes(dir / "transfer.lst").find("\r\n"), std::string::npos);

    TTransferList next;
    next.LoadOld(dir / "transfer.lst", "host", "/web/", false);
    next.StartNew("host", "/web/");
    EXPECT_TRUE(next.IsUnchanged(a, 3, first));
}

struct PathCase {
    const char* name;
    std::string path;
    std::vector<std::string> parts;
};

class NextPathPartTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(NextPathPartTest, SplitsIntoComponents) {
    std::string path = GetParam().path;
    std::vector<std::string> parts;
    for (std::string part = NextPathPart(path); !part.empty(); part = NextPathPart(path)) parts.push_back(part);
    EXPECT_EQ(parts, GetParam().parts);
    EXPECT_TRUE(path.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NextPathPartTest,
    ::testing::Values(PathCase{"Root", "/", {}}, PathCase{"Empty", "", {}},
                      PathCase{"Relative", "web/site/", {"web", "site"}},
                      PathCase{"Absolute", "/web/site/", {"web", "site"}},
                      PathCase{"DoubledSlashes", "//web//site", {"web", "site"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UploadPlan, RemoteFolderIsTheRootPlusTheLocalPathBelowTheGalleries) {
    EXPECT_EQ(RemoteFolderFor("/p/galleries/", "/web/", "/p/galleries/Urlaub/images/"), "/web/Urlaub/images/");
    EXPECT_EQ(RemoteFolderFor("/p/galleries/", "/", "/p/galleries/"), "/");
    EXPECT_EQ(WithTrailingSlash(""), "/");
    EXPECT_EQ(WithTrailingSlash("web/site"), "web/site/");
    EXPECT_EQ(WithTrailingSlash("/web/"), "/web/");
}

TEST(UploadPlan, RootFirstThenEachPublishedAlbumWithImagesAndThumbs) {
    TempDir dir;
    ScriptedPrompts prompts;
    TAlbumList albums(dir / "galleries", prompts);
    albums.Albums() = {{"Urlaub", "", "", "", "Urlaub", true},
                       {"Privat", "", "", "", "Privat", false},
                       {"..", "", "", "", "hostile", true},
                       {"Zoo", "", "", "", "Zoo", true}};
    TUploadPlan plan = BuildUploadPlan(albums);
    std::string root = (dir / "galleries").string() + "/";
    EXPECT_EQ(plan.localRoot, root);
    EXPECT_EQ(plan.folders, (std::vector<std::string>{root, root + "Urlaub/", root + "Urlaub/images/",
                                                     root + "Urlaub/thumbs/", root + "Zoo/", root + "Zoo/images/",
                                                     root + "Zoo/thumbs/"}));
}

TEST(UploadPlan, SendsPlainVisibleFilesOnly) {
    TempDir dir;
    WriteBytes(dir / "b.html", "12");
    WriteBytes(dir / "A.css", "1");
    WriteBytes(dir / ".hidden", "12345");
    std::filesystem::create_directories(dir / "images");
    TFolderFiles files = ListPlanFolder(dir.path().string() + "/");
    EXPECT_EQ(files.names, (std::vector<std::string>{"A.css", "b.html"}));
    EXPECT_EQ(files.bytes, 8) << "hidden files count in the folder's size";
    EXPECT_TRUE(ListPlanFolder((dir / "missing/").string()).names.empty());
}

struct ListingCase {
    const char* name;
    std::string line;
    TListingEntry kind;
    std::string entryName;
};

class ListingLineTest : public ::testing::TestWithParam<ListingCase> {};

TEST_P(ListingLineTest, Classifies) {
    TListingLine entry = ClassifyListingLine(GetParam().line);
    EXPECT_EQ(entry.kind, GetParam().kind);
    EXPECT_EQ(entry.name, GetParam().entryName);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ListingLineTest,
    ::testing::Values(
        ListingCase{"Folder", "drwxr-xr-x 2 user group 512 Jan 1 12:00 bilder", TListingEntry::Folder, "bilder"},
        ListingCase{"UpperCaseD", "Drwxr-xr-x 2 u g 512 Jan 1 12:00 x", TListingEntry::Folder, "x"},
        ListingCase{"Parent", "drwxr-xr-x 2 user group 512 Jan 1 12:00 ..", TListingEntry::Ignored, ""},
        ListingCase{"Self", "drwxr-xr-x 2 user group 512 Jan 1 12:00 .", TListingEntry::Ignored, ""},
        ListingCase{"FileWithBlankInName", "-rw-r--r-- 1 user group 10 Jan 1 12:00 my file.txt", TListingEntry::File,
                    "file.txt"},
        ListingCase{"Link", "lrwxrwxrwx 1 user group 10 Jan 1 12:00 link -> x", TListingEntry::Ignored, ""},
        ListingCase{"Total", "total 12", TListingEntry::Ignored, ""},
        ListingCase{"FolderWithoutBlank", "daten", TListingEntry::Folder, ""},
        ListingCase{"FileWithoutBlank", "-rw", TListingEntry::Ignored, ""},
        ListingCase{"Empty", "", TListingEntry::Ignored, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the job against the scripted server --------------------------------------------------------

class RecordingView : public PublishView {
public:
    void Log(const std::string& line) override { lines.push_back(line); }
    bool Logged(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }
    std::vector<std::string> lines;
};

class ScriptedJob : public ::testing::Test {
protected:
    ScriptedJob()
        : folders(TProgramFolders::For(temp.path())), settings(folders, prompts),
          job(client, settings, prompts, view, temp / "transfer.lst", Timings()) {
        settings.edFTPServer = "127.0.0.1";
        settings.edFTPPort = server.Port();
        settings.edFTPUser = "alice";
        settings.edFTPPassword = "secret";
        settings.cbUsePassiveMode = false;
        client.TimeoutMs = 5000;
        client.EndOfFileDelayMs = 10;
        job.TakeSettings();
    }

    static TPublishTimings Timings() {
        TPublishTimings timings;
        timings.startDelayMs = 0;
        timings.connectFailedDelayMs = 0;
        return timings;
    }

    std::vector<std::string> Commands(const std::string& verbs) const {
        std::vector<std::string> picked;
        for (const std::string& line : server.transcript)
            if (verbs.find(line.substr(0, line.find(' '))) != std::string::npos) picked.push_back(line);
        return picked;
    }

    void Login() {
        client.Connect();
        vistrel::testing::Drain();
    }

    TempDir temp;
    ScriptedFtpServer server;
    TFtpClient client;
    ScriptedPrompts prompts;
    RecordingView view;
    TProgramFolders folders;
    TProgramSettings settings;
    TPublishJob job;
};

TEST_F(ScriptedJob, LogHidesThePassword) {
    job.Log("PASS secret");
    job.Log("xPASSword and more");
    EXPECT_EQ(view.lines, (std::vector<std::string>{"PASS", "xPASS"}));
}

TEST_F(ScriptedJob, RootsWithAndWithoutSlashesGiveTheSameCommands) {
    server.replies["MKD"] = "257 \"x\" created\r\n";
    server.replies["CDUP"] = "250 ok\r\n";
    Login();
    job.ChangeRemoteDir("web/site");
    job.ChangeRemoteDir("/web/site/");
    job.ChangeRemoteDir("/");
    job.ChangeRemoteDir(" web");
    EXPECT_EQ(Commands("MKD CWD"), (std::vector<std::string>{"MKD web", "CWD web", "MKD site", "CWD site", "MKD web",
                                                             "CWD web", "MKD site", "CWD site"}));
}

TEST_F(ScriptedJob, AFolderThatCannotBeEnteredStopsBeforeTheNextComponent) {
    server.replies["MKD"] = "550 exists\r\n";
    server.replies["CWD"] = "550 no such folder\r\n";
    Login();
    job.ChangeRemoteDir("web/site/");
    EXPECT_EQ(Commands("MKD CWD"), (std::vector<std::string>{"MKD web", "CWD web"}));
    EXPECT_TRUE(view.Logged("Verzeichnis Ok"));
    EXPECT_TRUE(view.Logged("Fehler 550"));
}

TEST_F(ScriptedJob, DeletionIgnoresNamesThatLeaveTheFolder) {
    server.replies["DELE"] = "250 deleted\r\n";
    server.replies["RMD"] = "250 removed\r\n";
    server.replies["CDUP"] = "250 ok\r\n";
    server.listing = "drwxr-xr-x 2 u g 512 Jan 1 12:00 ..\r\n"
                     "-rw-r--r-- 1 u g 10 Jan 1 12:00 ../../etc/passwd\r\n"
                     "-rw-r--r-- 1 u g 10 Jan 1 12:00 my file.txt\r\n"
                     "drwxr-xr-x 2 u g 512 Jan 1 12:00 a/b\r\n"
                     "lrwxrwxrwx 1 u g 10 Jan 1 12:00 link\r\n"
                     "dnoblank\r\n";
    Login();
    job.DeleteRemoteTree({});
    EXPECT_EQ(Commands("DELE RMD CWD"), (std::vector<std::string>{"DELE file.txt"}));
    EXPECT_EQ(Commands("NLST"), (std::vector<std::string>{"NLST -l"}));
}

TEST_F(ScriptedJob, DeletionOfEndlesslyNestedFoldersIsBounded) {
    server.replies["CDUP"] = "250 ok\r\n";
    server.listing = "drwxr-xr-x 2 u g 512 Jan 1 12:00 a\r\n"; // every folder claims a sub-folder
    Login();
    job.DeleteRemoteTree({});
    EXPECT_EQ(Commands("CWD").size(), 32u);
    EXPECT_TRUE(view.Logged(Utf8ToAnsi("Zu viele Verzeichnisebenen auf dem Server. Löschen abgebrochen.")));
    EXPECT_TRUE(Commands("RMD").empty()) << "nothing is removed after the walk was stopped";
}

} // namespace
