// The publish job's pieces: digests, the transfer list, the upload plan, listing lines, and the
// job's command sequences against the scripted server.
#include "album_library/album_list.h"
#include "common/cp1252.h"
#include "common/line_file.h"
#include "common/md5.h"
#include "net/run_until.h"
#include "publishing/publish_job.h"
#include "publishing/remote_listing.h"
#include "scripted_ftp_server.h"
#include "settings/program_settings.h"
#include "support/test_support.h"

#include <QElapsedTimer>

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
    auto stored = [&] {
        std::vector<std::string> lines;
        ReadLineFile(file, lines);
        return lines;
    };
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

struct PathCase {
    const char* name;
    std::string path;
    std::vector<std::string> parts;
};

class NextPathPartTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(NextPathPartTest, SplitsIntoComponents) {
    std::string path = GetParam().path;
    std::vector<std::string> parts;
    for (std::string part = NextPathPart(path); !part.empty(); part = NextPathPart(path))
        parts.push_back(part);
    EXPECT_EQ(parts, GetParam().parts);
    EXPECT_TRUE(path.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, NextPathPartTest,
                         ::testing::Values(PathCase{"Root", "/", {}}, PathCase{"Empty", "", {}},
                                           PathCase{"Relative", "web/site/", {"web", "site"}},
                                           PathCase{"Absolute", "/web/site/", {"web", "site"}},
                                           PathCase{"DoubledSlashes", "//web//site", {"web", "site"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UploadPlan, RemoteFolderIsTheRootPlusTheLocalPathBelowTheGalleries) {
    EXPECT_EQ(RemoteFolderFor("/p/galleries/", "/web/", "/p/galleries/Urlaub/images/"),
              "/web/Urlaub/images/");
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
                                                      root + "Urlaub/thumbs/", root + "Zoo/",
                                                      root + "Zoo/images/", root + "Zoo/thumbs/"}));
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

// Links could carry outside files onto the server: only regular files inside a real album folder go.
TEST(UploadPlan, LeavesOutLinksToFilesAndFolders) {
    TempDir dir;
    const auto galleries = dir / "galleries";
    WriteBytes(dir / "outside" / "secret.txt", "secret");
    WriteBytes(galleries / "Urlaub" / "images" / "a.jpg", "a");
    WriteBytes(galleries / "Urlaub" / "thumbs" / "a.jpg", "a");
    std::filesystem::create_symlink(dir / "outside" / "secret.txt",
                                    galleries / "Urlaub" / "images" / "leak.jpg");
    std::filesystem::create_symlink(dir / "outside" / "secret.txt", galleries / "style.css");
    std::filesystem::create_symlink(dir / "outside", galleries / "Fremd");
    std::filesystem::create_directories(galleries / "Zoo");
    std::filesystem::create_symlink(dir / "outside", galleries / "Zoo" / "images");

    EXPECT_EQ(ListPlanFolder((galleries / "Urlaub" / "images").string() + "/").names,
              (std::vector<std::string>{"a.jpg"}));
    EXPECT_TRUE(ListPlanFolder(galleries.string() + "/").names.empty());

    ScriptedPrompts prompts;
    TAlbumList albums(galleries, prompts);
    albums.Albums() = {{"Urlaub", "", "", "", "Urlaub", true},
                       {"Fremd", "", "", "", "Fremd", true},
                       {"Zoo", "", "", "", "Zoo", true}};
    TUploadPlan plan = BuildUploadPlan(albums);
    std::string root = galleries.string() + "/";
    EXPECT_EQ(plan.folders,
              (std::vector<std::string>{root, root + "Urlaub/", root + "Urlaub/images/",
                                        root + "Urlaub/thumbs/", root + "Zoo/", root + "Zoo/thumbs/"}));
}

struct ListingCase {
    const char* name;
    std::string line;
    TListingEntry kind;
    std::string entryName;
};

class UnixListingTest : public ::testing::TestWithParam<ListingCase> {};

TEST_P(UnixListingTest, Classifies) {
    TListingLine entry = ParseUnixListLine(GetParam().line);
    EXPECT_EQ(entry.kind, GetParam().kind);
    EXPECT_EQ(entry.name, GetParam().entryName);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnixListingTest,
    ::testing::Values(
        ListingCase{"Folder", "drwxr-xr-x 2 user group 512 Jan 1 12:00 bilder", TListingEntry::Folder,
                    "bilder"},
        ListingCase{"Parent", "drwxr-xr-x 2 user group 512 Jan 1 12:00 ..", TListingEntry::Ignored, ""},
        ListingCase{"Self", "drwxr-xr-x 2 user group 512 Jan  1 12:00 .", TListingEntry::Ignored, ""},
        ListingCase{"FileWithBlanksInName", "-rw-r--r-- 1 user group 10 Jan 1 12:00 my  file.txt",
                    TListingEntry::File, "my  file.txt"},
        ListingCase{"DotFile", "-rw-r--r-- 1 user group 10 Dec 31 2023 .htaccess", TListingEntry::File,
                    ".htaccess"},
        ListingCase{"NoGroupColumn", "-rw-r--r-- 1 owner 10 Mar 3 09:15 a b", TListingEntry::File, "a b"},
        ListingCase{"NumericDate", "-rw-r--r-- 1 u g 2024 Jan 1 12:00 Jan 1 12:00 x", TListingEntry::File,
                    "Jan 1 12:00 x"},
        ListingCase{"Link", "lrwxrwxrwx 1 user group 10 Jan 1 12:00 link -> x", TListingEntry::Ignored, ""},
        ListingCase{"Total", "total 12", TListingEntry::Ignored, ""},
        ListingCase{"FolderWithoutColumns", "daten", TListingEntry::Ignored, ""},
        ListingCase{"FileWithoutName", "-rw-r--r-- 1 user group 10 Jan 1 12:00", TListingEntry::Ignored, ""},
        ListingCase{"Empty", "", TListingEntry::Ignored, ""}),
    [](const auto& info) { return std::string(info.param.name); });

class MlsdListingTest : public ::testing::TestWithParam<ListingCase> {};

TEST_P(MlsdListingTest, Classifies) {
    TListingLine entry = ParseMlsdLine(GetParam().line);
    EXPECT_EQ(entry.kind, GetParam().kind);
    EXPECT_EQ(entry.name, GetParam().entryName);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MlsdListingTest,
    ::testing::Values(ListingCase{"File", "type=file;size=10;modify=20240101120000; my file.txt",
                                  TListingEntry::File, "my file.txt"},
                      ListingCase{"FolderInUpperCase", "Type=Dir;Perm=el; bilder", TListingEntry::Folder,
                                  "bilder"},
                      ListingCase{"DotFile", "type=file;size=1; .htaccess", TListingEntry::File, ".htaccess"},
                      ListingCase{"Current", "type=cdir; .", TListingEntry::Ignored, ""},
                      ListingCase{"Parent", "type=pdir; ..", TListingEntry::Ignored, ""},
                      ListingCase{"Link", "type=OS.unix=slink:/etc/passwd; leak", TListingEntry::Ignored, ""},
                      ListingCase{"NoFacts", "name-only", TListingEntry::Ignored, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RemoteNames, OnlyPlainNamesAndBareNlstNames) {
    EXPECT_TRUE(IsPlainRemoteName("my file.txt"));
    EXPECT_TRUE(IsPlainRemoteName(".htaccess"));
    for (const char* bad : {"", ".", "..", "a/b", "..\\x"})
        EXPECT_FALSE(IsPlainRemoteName(bad)) << bad;
    EXPECT_EQ(NlstName("./a.jpg"), "a.jpg");
    EXPECT_EQ(NlstName("web/images/a b.jpg"), "a b.jpg");
}

// ---- the job against the scripted server --------------------------------------------------------

class RecordingView : public PublishView {
public:
    void Log(const std::string& line) override { lines.push_back(line); }
    bool Logged(const std::string& line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    std::vector<std::string> lines;
};

class ScriptedJob : public ::testing::Test {
protected:
    ScriptedJob()
        : folders(TProgramFolders::For(temp.path())), settings(folders, prompts), job(client, prompts, view) {
        settings.edFTPServer = "127.0.0.1";
        settings.edFTPPort = server.Port();
        settings.edFTPUser = "alice";
        settings.edFTPPassword = "secret";
        settings.cbUsePassiveMode = false;
        client.TimeoutMs = 5000;
        client.EndOfFileDelayMs = 10;
        TakeSettings(params, settings);
        params.transferListFile = temp / "transfer.lst";
        params.timings = Timings();
        job.Prepare(params);
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
    TPublishParams params;
    TPublishJob job;
};

TEST_F(ScriptedJob, LogHidesThePassword) {
    view.lines.clear();
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
    EXPECT_EQ(Commands("MKD CWD"), (std::vector<std::string>{"MKD web", "CWD web", "MKD site", "CWD site",
                                                             "MKD web", "CWD web", "MKD site", "CWD site"}));
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

TEST_F(ScriptedJob, DeletionListsWithListDashAAndKeepsWholeNames) {
    server.replies["DELE"] = "250 deleted\r\n";
    server.replies["RMD"] = "250 removed\r\n";
    server.replies["CDUP"] = "250 ok\r\n";
    server.listing = "drwxr-xr-x 2 u g 512 Jan 1 12:00 ..\r\n"
                     "-rw-r--r-- 1 u g 10 Jan 1 12:00 ../../etc/passwd\r\n"
                     "-rw-r--r-- 1 u g 10 Jan 1 12:00 my file.txt\r\n"
                     "-rw-r--r-- 1 u g 10 Jan 1 12:00 .htaccess\r\n"
                     "drwxr-xr-x 2 u g 512 Jan 1 12:00 a/b\r\n"
                     "lrwxrwxrwx 1 u g 10 Jan 1 12:00 link -> /\r\n"
                     "dnoblank\r\n";
    Login();
    job.DeleteRemoteTree({});
    EXPECT_EQ(Commands("DELE RMD CWD"), (std::vector<std::string>{"DELE my file.txt", "DELE .htaccess"}));
    EXPECT_EQ(Commands("NLST LIST MLSD"), (std::vector<std::string>{"LIST -a"}));
}

TEST_F(ScriptedJob, AFolderListedWithAnErrorCountsAsEmpty) {
    server.replies["LIST"] = "550 No files found\r\n";
    Login();
    job.DeleteRemoteTree({});
    EXPECT_TRUE(Commands("DELE RMD").empty());
    EXPECT_TRUE(view.Logged("Fehler 550"));
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

namespace {

// A whole run of one folder against the scripted server.
class ScriptedRun : public ScriptedJob {
protected:
    ScriptedRun() {
        root = (temp / "galleries").string() + "/";
        WriteBytes(root + "index.html", "<html>");
        server.replies["MKD"] = "550 exists\r\n";
        server.replies["CDUP"] = "250 ok\r\n";
        params.plan = {root, {root}};
        job.Prepare(params);
    }
    std::string root;
};

TEST_F(ScriptedRun, ServerThatNeverConfirmsEndsAfterTheBoundedReconnects) {
    server.neverConfirm = true;
    params.timings.watchdogMs = 200;
    params.timings.maxReconnects = 2;
    TPublishJob run(client, prompts, view);
    run.Prepare(params);
    QElapsedTimer timer;
    timer.start();
    TPublishResult result = run.Run(params);
    EXPECT_EQ(result.code, TPublishCode::ConnectionLost);
    EXPECT_EQ(run.Reconnects(), 2);
    EXPECT_LT(timer.elapsed(), 4000);
    EXPECT_TRUE(view.Logged(Utf8ToAnsi("Zu viele Übertragungsfehler. Übertragung abgebrochen.")));
    EXPECT_EQ(view.lines.back(), PublishMessage(result, "127.0.0.1", "/"))
        << "the closing line says the publish did not complete";
    EXPECT_NE(view.lines.back().find("nicht abgeschlossen"), std::string::npos);
    std::vector<std::string> list;
    ASSERT_TRUE(ReadLineFile(temp / "transfer.lst", list));
    EXPECT_EQ(list, (std::vector<std::string>{"127.0.0.1", "/"})) << "an unconfirmed file is never recorded";
}

TEST_F(ScriptedRun, FailedServerCheckSendsTheFolderAgainAndGoesOn) {
    params.checkServer = true;
    server.replies["NLST"] = "550 No such file\r\n";
    TPublishResult result = job.Run(params);
    EXPECT_EQ(result.code, TPublishCode::Completed) << result.detail;
    EXPECT_EQ(Commands("STOR"), (std::vector<std::string>{"STOR index.html", "STOR index.html"}));
    EXPECT_TRUE(view.Logged(Utf8ToAnsi(
        "Verzeichnisprüfung nicht möglich, die Dateien des Verzeichnisses wurden erneut übertragen")));
    EXPECT_FALSE(view.Logged(Utf8ToAnsi("Verzeichnisprüfung abgeschlossen")));
    EXPECT_EQ(Commands("NLST"), (std::vector<std::string>{"NLST"})) << "a plain NLST of the current folder";
}

TEST_F(ScriptedRun, ServerThatNeverGreetsEndsTheRunWithItsTimeOut) {
    server.welcome = "";
    client.TimeoutMs = 300;
    QElapsedTimer timer;
    timer.start();
    TPublishResult result = job.Run(params);
    EXPECT_EQ(result.code, TPublishCode::LoginFailed);
    EXPECT_LT(timer.elapsed(), 4000);
    EXPECT_EQ(view.lines.back(), PublishMessage(result, "127.0.0.1", "/"));
}

} // namespace
