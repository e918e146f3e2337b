// The publish job through the FTP adapter against the scripted server: the commands it sends and
// the protocol lines it writes.
#include "common/cp1252.h"
#include "common/line_file.h"
#include "publishing/ftp_site.h"
#include "publishing/publish_job.h"
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

// ---- the job against the scripted server --------------------------------------------------------

class RecordingView : public PublishView {
public:
    void Log(const std::string& line) override { lines.push_back(line); }
    bool AllowUnencrypted(const std::string& hostPort) override {
        askedUnencrypted.push_back(hostPort);
        return allowUnencrypted;
    }
    bool allowUnencrypted = true; // the scripted server offers no FTPS
    std::vector<std::string> askedUnencrypted;
    bool Logged(const std::string& line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    std::vector<std::string> lines;
};

// One folder (the root, with index.html) published to the scripted server.
class ScriptedJob : public ::testing::Test {
protected:
    ScriptedJob() : folders(TProgramFolders::For(temp.path())), settings(folders, prompts) {
        settings.edFTPServer = "127.0.0.1";
        settings.edFTPPort = server.Port();
        settings.edFTPUser = "alice";
        settings.edFTPPassword = "secret";
        settings.cbUsePassiveMode = false;
        TakeSettings(params, settings);
        params.transferListFile = temp / "transfer.lst";
        params.timings = Timings();
        root = (temp / "galleries").string() + "/";
        WriteBytes(root + "index.html", "<html>");
        params.plan = {root, {root}};
        server.replies["MKD"] = "550 exists\r\n";
        server.replies["CDUP"] = "250 ok\r\n";
    }

    static TPublishTimings Timings() {
        TPublishTimings timings;
        timings.startDelayMs = 0;
        timings.connectFailedDelayMs = 0;
        timings.transferTimeoutMs = 5000;
        timings.deleteTimeoutMs = 5000;
        return timings;
    }

    // A run with a new job, as the dialog starts one.
    TPublishResult Run() {
        TPublishJob job(prompts, view, [](const TConnectionSettings& connection) {
            auto site = std::make_unique<TFtpSite>(connection);
            site->Client().Config.EndOfFileDelayMs = 10;
            return site;
        });
        job.Prepare(params);
        TPublishResult result = job.Run(params);
        reconnects = job.Reconnects();
        return result;
    }

    std::vector<std::string> Commands(const std::string& verbs) const {
        std::vector<std::string> picked;
        for (const std::string& line : server.transcript)
            if (verbs.find(line.substr(0, line.find(' '))) != std::string::npos) picked.push_back(line);
        return picked;
    }

    TempDir temp;
    ScriptedFtpServer server;
    ScriptedPrompts prompts;
    RecordingView view;
    TProgramFolders folders;
    TProgramSettings settings;
    TPublishParams params;
    std::string root;
    int reconnects = 0;
};

TEST_F(ScriptedJob, TheProtocolNeverShowsThePassword) {
    ASSERT_EQ(Run().code, TPublishCode::Completed);
    EXPECT_TRUE(view.Logged("PASS"));
    for (const std::string& line : view.lines)
        EXPECT_EQ(line.find("secret"), std::string::npos) << line;
}

// FTPS is wanted (the default) but not required, and the server refuses AUTH TLS: nothing, the
// password least of all, goes out before the user agreed; once agreed, the server is remembered.
TEST_F(ScriptedJob, AServerWithoutEncryptionIsUsedOnlyWithConsent) {
    ASSERT_TRUE(params.connection.useTls);
    ASSERT_FALSE(params.connection.requireTls);
    params.connection.checkServer = false;
    view.allowUnencrypted = false;
    TPublishResult result = Run();
    EXPECT_EQ(result.code, TPublishCode::EncryptionDeclined);
    EXPECT_EQ(view.askedUnencrypted, (std::vector<std::string>{"127.0.0.1:" + server.Port()}));
    EXPECT_EQ(Commands("USER PASS STOR"), std::vector<std::string>{}) << "no login in clear text";
    EXPECT_EQ(view.lines.back(), PublishMessage(result, "127.0.0.1", "/"));

    view.allowUnencrypted = true;
    EXPECT_EQ(Run().code, TPublishCode::Completed);
    EXPECT_EQ(Commands("STOR"), (std::vector<std::string>{"STOR index.html"}));

    settings.StoreAllowUnencrypted("127.0.0.1:" + server.Port());
    TakeSettings(params, settings);
    params.connection.checkServer = false;
    EXPECT_TRUE(params.connection.unencryptedAllowed);
    view.askedUnencrypted.clear();
    view.allowUnencrypted = false;
    EXPECT_EQ(Run().code, TPublishCode::Completed) << "a server allowed once is not asked again";
    EXPECT_TRUE(view.askedUnencrypted.empty());
}

TEST_F(ScriptedJob, RootsWithAndWithoutSlashesGiveTheSameCommands) {
    server.replies["MKD"] = "257 \"x\" created\r\n";
    for (const char* remoteRoot : {"web/site", "/web/site/", "/", " web"}) {
        params.connection.remoteRoot = remoteRoot;
        EXPECT_EQ(Run().code, TPublishCode::Completed) << remoteRoot;
    }
    EXPECT_EQ(Commands("MKD CWD"), (std::vector<std::string>{"MKD web", "CWD web", "MKD site", "CWD site",
                                                             "MKD web", "CWD web", "MKD site", "CWD site"}));
}

TEST_F(ScriptedJob, AFolderThatCannotBeEnteredStopsBeforeTheNextComponent) {
    server.replies["CWD"] = "550 no such folder\r\n";
    params.connection.remoteRoot = "web/site/";
    EXPECT_EQ(Run().code, TPublishCode::Refused);
    EXPECT_EQ(Commands("MKD CWD"), (std::vector<std::string>{"MKD web", "CWD web"}));
    EXPECT_TRUE(Commands("STOR").empty()) << "nothing goes into the wrong folder";
    EXPECT_TRUE(view.Logged("Verzeichnis Ok"));
    EXPECT_TRUE(view.Logged("Fehler 550"));
}

TEST_F(ScriptedJob, DeletionListsWithListDashAAndKeepsWholeNames) {
    server.replies["DELE"] = "250 deleted\r\n";
    server.replies["RMD"] = "250 removed\r\n";
    server.listing = "drwxr-xr-x 2 u g 512 Jan 1 12:00 ..\r\n"
                     "-rw-r--r-- 1 u g 10 Jan 1 12:00 ../../etc/passwd\r\n"
                     "-rw-r--r-- 1 u g 10 Jan 1 12:00 my file.txt\r\n"
                     "-rw-r--r-- 1 u g 10 Jan 1 12:00 .htaccess\r\n"
                     "drwxr-xr-x 2 u g 512 Jan 1 12:00 a/b\r\n"
                     "lrwxrwxrwx 1 u g 10 Jan 1 12:00 link -> /\r\n"
                     "dnoblank\r\n";
    params.deleteAll = true;
    params.connection.checkServer = false; // the listings are the deletion's alone
    EXPECT_EQ(Run().code, TPublishCode::Completed);
    EXPECT_EQ(Commands("DELE RMD CWD"), (std::vector<std::string>{"DELE my file.txt", "DELE .htaccess"}));
    EXPECT_EQ(Commands("NLST LIST MLSD"), (std::vector<std::string>{"LIST -a"}));
}

TEST_F(ScriptedJob, AFolderListedWithAnErrorCountsAsEmpty) {
    server.replies["LIST"] = "550 No files found\r\n";
    params.deleteAll = true;
    EXPECT_EQ(Run().code, TPublishCode::Completed);
    EXPECT_TRUE(Commands("DELE RMD").empty());
    EXPECT_TRUE(view.Logged("Fehler 550"));
}

TEST_F(ScriptedJob, DeletionOfEndlesslyNestedFoldersIsBounded) {
    server.listing = "drwxr-xr-x 2 u g 512 Jan 1 12:00 a\r\n"; // every folder claims a sub-folder
    params.deleteAll = true;
    EXPECT_EQ(Run().code, TPublishCode::DeleteFailed);
    EXPECT_EQ(Commands("CWD").size(), 32u);
    EXPECT_TRUE(view.Logged(Utf8ToAnsi("Zu viele Verzeichnisebenen auf dem Server. Löschen abgebrochen.")));
    EXPECT_TRUE(Commands("RMD").empty()) << "nothing is removed after the walk was stopped";
    EXPECT_TRUE(Commands("STOR").empty()) << "nothing is sent after a failed deletion";
}

TEST_F(ScriptedJob, ServerThatNeverConfirmsEndsAfterTheBoundedReconnects) {
    server.neverConfirm = true;
    params.timings.watchdogMs = 200;
    params.timings.maxReconnects = 2;
    QElapsedTimer timer;
    timer.start();
    TPublishResult result = Run();
    EXPECT_EQ(result.code, TPublishCode::ConnectionLost);
    EXPECT_EQ(reconnects, 2);
    EXPECT_LT(timer.elapsed(), 4000);
    EXPECT_TRUE(view.Logged(Utf8ToAnsi("Zu viele Übertragungsfehler. Übertragung abgebrochen.")));
    EXPECT_EQ(view.lines.back(), PublishMessage(result, "127.0.0.1", "/"))
        << "the closing line says the publish did not complete";
    EXPECT_NE(view.lines.back().find("nicht abgeschlossen"), std::string::npos);
    std::vector<std::string> list;
    ASSERT_TRUE(ReadLineFile(temp / "transfer.lst", list));
    EXPECT_EQ(list, (std::vector<std::string>{TransferListDestination(params.connection), "/"}))
        << "an unconfirmed file is never recorded";
}

TEST_F(ScriptedJob, FailedServerCheckSendsTheFolderAgainAndGoesOn) {
    params.connection.checkServer = true;
    server.replies["NLST"] = "550 No such file\r\n";
    TPublishResult result = Run();
    EXPECT_EQ(result.code, TPublishCode::Completed) << result.detail;
    EXPECT_EQ(Commands("STOR"), (std::vector<std::string>{"STOR index.html", "STOR index.html"}));
    EXPECT_TRUE(view.Logged(Utf8ToAnsi(
        "Verzeichnisprüfung nicht möglich, die Dateien des Verzeichnisses wurden erneut übertragen")));
    EXPECT_FALSE(view.Logged(Utf8ToAnsi("Verzeichnisprüfung abgeschlossen")));
    EXPECT_EQ(Commands("NLST"), (std::vector<std::string>{"NLST"})) << "a plain NLST of the current folder";
}

TEST_F(ScriptedJob, ServerThatNeverGreetsEndsTheRunWithItsTimeOut) {
    server.welcome = "";
    params.timings.transferTimeoutMs = 300;
    QElapsedTimer timer;
    timer.start();
    TPublishResult result = Run();
    EXPECT_EQ(result.code, TPublishCode::LoginFailed);
    EXPECT_LT(timer.elapsed(), 4000);
    EXPECT_EQ(view.lines.back(), PublishMessage(result, "127.0.0.1", "/"));
}

} // namespace
