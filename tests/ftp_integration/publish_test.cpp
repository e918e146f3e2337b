// The publish job against a real server: pyftpdlib on 127.0.0.1 serving a generated site.
#include "common/cp1252.h"
#include "common/line_file.h"
#include "net/run_until.h"
#include "program/site_run.h"
#include "publishing/ftp_site.h"
#include "publishing/publish_job.h"
#include "site_generator/site_fixture.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <set>

using namespace vistrel;
using vistrel::testing::ReadBytes;
using vistrel::testing::RunUntil;
using vistrel::testing::WriteBytes;
namespace fs = std::filesystem;

namespace {

class RecordingView : public PublishView {
public:
    // The test server offers no FTPS; the user agreed to go without it.
    bool AllowUnencrypted(const std::string&) override { return true; }
    void Log(const std::string& line) override {
        lines.push_back(line);
        if (std::getenv("VISTREL_FTP_DEBUG")) std::fprintf(stderr, "job: %s\n", AnsiToUtf8(line).c_str());
        if (onLog) onLog(line);
    }
    std::vector<std::string> Sent() const {
        const std::string prefix = Utf8ToAnsi("Übertrage  ");
        std::vector<std::string> names;
        for (const std::string& line : lines)
            if (line.rfind(prefix, 0) == 0) names.push_back(line.substr(prefix.size()));
        return names;
    }
    bool Logged(const std::string& utf8) const {
        return std::find(lines.begin(), lines.end(), Utf8ToAnsi(utf8)) != lines.end();
    }
    void ClearLog() override { lines.clear(); }
    void CloseDialog() override { ++closes; }
    std::function<void(const std::string&)> onLog;
    std::vector<std::string> lines;
    int closes = 0;
};

class PublishToPyFtpdlib : public vistrel::testing::SiteTest {
protected:
    void SetUp() override {
        fs::create_directories(serverRoot);
        server.setProgram("/usr/bin/python3");
        QStringList arguments{
            QStringLiteral(VISTREL_SOURCE_DIR "/tests/ftp_integration/publish_ftp_server.py"),
            QString::fromStdString(serverRoot.string())};
        if (!Mlsd()) arguments << QStringLiteral("--no-mlsd");
        arguments << ServerOptions();
        server.setArguments(arguments);
        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server.start();
        ASSERT_TRUE(server.waitForStarted(5000));
        ASSERT_TRUE(RunUntil([&] { return server.canReadLine(); }, 10000)) << "pyftpdlib did not start";
        port = server.readLine().trimmed().toStdString();

        StyleFile("index.html", "<html><!--/#GALLERYTITLE#/--></html>\r\n");
        StyleFile("thumbs.html", "/#ALLTHUMBS#/[/#THUMBURL#/]/#ENDALLTHUMBS#/\r\n");
        StyleFile("images.html", "/#IMAGEURL#/\r\n");
        StyleFile("style.css", "body {}\r\n");
        AddAlbum("Urlaub", 2, true);
        AddAlbum("Zoo", 1, true);
        context = Start();
        ASSERT_TRUE(GenerateSite(SiteParamsOf(*context, TSiteMode::Publish), progress, host).startPageExists);
        TProgramSettings& settings = context->settings;
        settings.edFTPServer = "127.0.0.1";
        settings.edFTPPort = port;
        settings.edFTPUser = "alice";
        settings.edFTPPassword = "secret";
        settings.edFTPDirectory = "web";
        settings.cbUsePassiveMode = true;
        settings.cbCheckServer = true;
        settings.cbParallelUploads = false; // one session unless a test asks for more
    }

    void TearDown() override {
        job.reset();
        if (server.state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(server.processId()), SIGCONT);
            server.kill();
            server.waitForFinished(5000);
        }
    }

    virtual bool Mlsd() const { return true; }
    virtual QStringList ServerOptions() const { return {QStringLiteral("--report-uploads")}; }

    // Reads the server's "stored" lines that have come so far; the client ports of the sessions
    // that stored a file gather in storingSessions.
    void ReadStoredLines() {
        while (server.canReadLine()) {
            QList<QByteArray> words = server.readLine().trimmed().split(' ');
            if (words.size() >= 2 && words[0] == "stored") storingSessions.insert(words[1].toStdString());
        }
    }
    std::set<std::string> storingSessions;

    // Twenty pictures more in one folder, so that it is worth sharing.
    std::vector<std::pair<std::string, std::string>> ManyPictures() {
        std::vector<std::pair<std::string, std::string>> pictures;
        for (int i = 0; i < 20; ++i) {
            pictures.emplace_back("extra" + std::to_string(i) + ".jpg",
                                  std::string(30000 + i, static_cast<char>('a' + i)));
            WriteBytes(galleries / "Urlaub" / "images" / pictures.back().first, pictures.back().second);
        }
        return pictures;
    }

    // Hidden files, names with blanks, links and nested folders all go; the file outside the
    // root stays, and everything is sent again.
    void ExpectEmptiedAndSent() {
        ASSERT_EQ(Publish(), TPublishCode::Completed);
        WriteBytes(web / "stale.html", "old");
        WriteBytes(web / ".htaccess", "deny");
        WriteBytes(web / "my old page.html", "old");
        WriteBytes(web / "Alt" / "images" / "x.jpg", "old");
        WriteBytes(web / "Alt" / "a folder" / ".hidden" / "deep.txt", "old");
        WriteBytes(serverRoot / "outside.txt", "keep");
        fs::create_symlink(serverRoot / "outside.txt", web / "link.txt");
        ASSERT_EQ(Publish(true), TPublishCode::Completed);
        EXPECT_EQ(serverHasMlsd, Mlsd());
        EXPECT_EQ(prompts.questions.back(),
                  Utf8ToAnsi("Wollen Sie wirklich alle Dateien auf dem Server löschen?"));
        for (const char* gone : {"stale.html", ".htaccess", "my old page.html", "Alt"})
            EXPECT_FALSE(fs::exists(web / gone)) << gone;
        EXPECT_EQ(ReadBytes(serverRoot / "outside.txt"), "keep") << "a link is never followed";
        EXPECT_EQ(view.Sent().size(), static_cast<size_t>(job->TotalFiles()))
            << "the old list no longer counts";
        EXPECT_EQ(ReadBytes(web / "Urlaub" / "images" / "p100.jpg"), "image0");
    }

    TPublishCode Publish(bool deleteAll = false, int watchdogMs = 60000, bool transferAll = false) {
        TPublishParams params;
        TakeSettings(params, context->settings);
        params.plan = BuildUploadPlan(context->albums);
        params.transferListFile = context->folders.TransferList();
        params.timings.startDelayMs = 0;
        params.timings.connectFailedDelayMs = 0;
        params.timings.watchdogMs = watchdogMs;
        params.timings.transferTimeoutMs = 5000;
        params.timings.deleteTimeoutMs = 5000;
        job.reset();
        // Each run's FTP session, tuned as the tests need; it reports what FEAT said.
        job = std::make_unique<TPublishJob>(prompts, view, [this](const TConnectionSettings& connection) {
            auto site = std::make_unique<TFtpSite>(connection);
            site->Client().Config.EndOfFileDelayMs = 5;
            lastSite = site.get();
            return site;
        });
        job->Prepare(params);
        params.deleteAll = deleteAll;
        params.transferAll = transferAll;
        TPublishCode code = job->Run(params).code;
        serverHasMlsd = lastSite && lastSite->ServerHasMlsd();
        return code;
    }

    fs::path serverRoot = dir / "server";
    fs::path web = serverRoot / "web";
    QProcess server;
    std::string port;
    std::unique_ptr<TProgramContext> context;
    TFtpSite* lastSite = nullptr;
    bool serverHasMlsd = false;
    RecordingView view;
    std::unique_ptr<TPublishJob> job;
};

TEST_F(PublishToPyFtpdlib, SendsTheSiteThenOnlyWhatChanged) {
    ASSERT_EQ(Publish(), TPublishCode::Completed);
    EXPECT_EQ(ReadBytes(web / "Urlaub" / "images" / "p100.jpg"), "image0");
    EXPECT_EQ(ReadBytes(web / "Zoo" / "thumbs" / "p100.jpg"), "thumb0");
    EXPECT_EQ(ReadBytes(web / "index.html"), ReadBytes(galleries / "index.html"));
    // The program's own lists name unpublished albums and every text: they never go.
    EXPECT_FALSE(fs::exists(web / "Urlaub" / "info.txt"));
    EXPECT_FALSE(fs::exists(web / "info.txt"));
    EXPECT_EQ(view.Sent().size(), static_cast<size_t>(job->TotalFiles()));
    EXPECT_EQ(prompts.messages.back(),
              Utf8ToAnsi("Übertragung zu 127.0.0.1 in das Verzeichnis web/ beendet."));
    EXPECT_EQ(view.closes, 1);
    EXPECT_TRUE(view.Logged("PASS"));
    std::vector<std::string> list;
    ASSERT_TRUE(ReadLineFile(context->folders.TransferList(), list));
    EXPECT_EQ(list.size(), static_cast<size_t>(job->TotalFiles()) + 2);

    WriteBytes(galleries / "Urlaub" / "images" / "p101.jpg", "image1 retouched");
    ASSERT_EQ(Publish(), TPublishCode::Completed);
    EXPECT_EQ(view.Sent(), (std::vector<std::string>{"p101.jpg"}));
    EXPECT_EQ(ReadBytes(web / "Urlaub" / "images" / "p101.jpg"), "image1 retouched");
}

// An earlier run sent the album list and a picture list; the transfer list remembers them, and
// the next run deletes them from the server.
TEST_F(PublishToPyFtpdlib, ListsAnEarlierRunSentAreDeleted) {
    ASSERT_EQ(Publish(), TPublishCode::Completed);
    WriteBytes(web / "info.txt", "Privat\tGeheim\t\t\tPrivat\tfalse\r\n");
    WriteBytes(web / "Urlaub" / "info.txt", "p100.jpg\tTitel\r\n");
    WriteBytes(web / "Urlaub" / "keep.txt", "not ours");
    std::vector<std::string> list;
    ASSERT_TRUE(ReadLineFile(context->folders.TransferList(), list));
    list.push_back((galleries / "info.txt").string() + "\t34\t0123456789ABCDEF0123456789ABCDEF");
    list.push_back((galleries / "Urlaub" / "info.txt").string() + "\t16\t0123456789ABCDEF0123456789ABCDEF");
    WriteLineFile(context->folders.TransferList(), list);

    ASSERT_EQ(Publish(), TPublishCode::Completed);
    EXPECT_FALSE(fs::exists(web / "info.txt"));
    EXPECT_FALSE(fs::exists(web / "Urlaub" / "info.txt"));
    EXPECT_TRUE(fs::exists(web / "Urlaub" / "keep.txt"));
    EXPECT_TRUE(view.Sent().empty());
    ASSERT_TRUE(ReadLineFile(context->folders.TransferList(), list));
    for (const std::string& line : list)
        EXPECT_EQ(line.find("info.txt"), std::string::npos) << line;
}

TEST_F(PublishToPyFtpdlib, ServerCheckSendsAFileDeletedOnTheServer) {
    ASSERT_EQ(Publish(), TPublishCode::Completed);
    fs::remove(web / "Zoo" / "images" / "p100.jpg");
    ASSERT_EQ(Publish(), TPublishCode::Completed);
    EXPECT_TRUE(view.Logged("Erneute Übertragung: p100.jpg"));
    EXPECT_EQ(view.Sent(), (std::vector<std::string>{"p100.jpg"}));
    EXPECT_EQ(ReadBytes(web / "Zoo" / "images" / "p100.jpg"), "image0");
}

class PublishWithoutMlsd : public PublishToPyFtpdlib {
protected:
    bool Mlsd() const override { return false; }
};

TEST_F(PublishToPyFtpdlib, EmptiesTheServerFolderWithMlsd) {
    ExpectEmptiedAndSent();
}
TEST_F(PublishWithoutMlsd, EmptiesTheServerFolderWithList) {
    ExpectEmptiedAndSent();
}

TEST_F(PublishWithoutMlsd, ServerCheckListsWithPlainNlst) {
    ASSERT_EQ(Publish(), TPublishCode::Completed);
    fs::remove(web / "Zoo" / "images" / "p100.jpg");
    ASSERT_EQ(Publish(), TPublishCode::Completed);
    EXPECT_TRUE(view.Logged("Erneute Übertragung: p100.jpg"));
    EXPECT_TRUE(view.Logged("Verzeichnisprüfung abgeschlossen"));
    EXPECT_EQ(view.Sent(), (std::vector<std::string>{"p100.jpg"}));
}

// A kill while a file is on its way: the list stored at that moment, put back after the run as if
// the process had died there, must make the next run send the file again.
TEST_F(PublishToPyFtpdlib, AKillDuringAnUploadLeavesAListThatResendsTheFile) {
    ASSERT_EQ(Publish(), TPublishCode::Completed);
    WriteBytes(galleries / "Urlaub" / "images" / "p101.jpg", std::string(300000, 'n'));
    const fs::path list = context->folders.TransferList();
    const fs::path journal = TTransferJournal::PathFor(list);
    // The stored list is transfer.lst with the journal of the run; both are kept as they were.
    std::string atKill, listAtKill, journalAtKill;
    view.onLog = [&](const std::string& line) {
        if (line != Utf8ToAnsi("Übertrage  p101.jpg")) return;
        for (const std::string& stored : TTransferList::ReadStored(list))
            atKill += stored + "\n";
        listAtKill = ReadBytes(list);
        journalAtKill = ReadBytes(journal);
    };
    ASSERT_EQ(Publish(), TPublishCode::Completed);
    ASSERT_FALSE(atKill.empty());
    EXPECT_EQ(atKill.find("images/p101.jpg\t"), std::string::npos)
        << "the changed file's old line left first";
    EXPECT_NE(atKill.find("images/p100.jpg\t"), std::string::npos) << "the other files stay recorded";

    view.onLog = nullptr;
    WriteBytes(list, listAtKill);
    WriteBytes(journal, journalAtKill);
    WriteBytes(web / "Urlaub" / "images" / "p101.jpg", std::string(1000, 'n')); // torn on the server
    ASSERT_EQ(Publish(), TPublishCode::Completed);
    EXPECT_EQ(view.Sent(), (std::vector<std::string>{"p101.jpg"}));
    EXPECT_EQ(ReadBytes(web / "Urlaub" / "images" / "p101.jpg"), std::string(300000, 'n'));
}

TEST_F(PublishToPyFtpdlib, TransferAllStartsByStoringAnEmptyList) {
    ASSERT_EQ(Publish(), TPublishCode::Completed);
    const fs::path list = context->folders.TransferList();
    std::string atFirstSend;
    view.onLog = [&](const std::string& line) {
        if (atFirstSend.empty() && line.rfind(Utf8ToAnsi("Übertrage  "), 0) == 0)
            atFirstSend = ReadBytes(list);
    };
    ASSERT_EQ(Publish(false, 60000, true), TPublishCode::Completed);
    // The first line names the destination the list describes (protocol, user, server and port).
    EXPECT_EQ(atFirstSend, "ftp://alice@127.0.0.1:" + port + "\r\nweb/\r\n");
    EXPECT_EQ(view.Sent().size(), static_cast<size_t>(job->TotalFiles()));
}

TEST_F(PublishToPyFtpdlib, WrongPasswordLeavesOnlyTheHeaderInTheTransferList) {
    context->settings.edFTPPassword = "wrong";
    EXPECT_EQ(Publish(), TPublishCode::BadPassword);
    EXPECT_EQ(prompts.messages.back(), "Fehlerhaftes Passwort");
    EXPECT_TRUE(view.Logged("Verbindung fehlgeschlagen"));
    std::vector<std::string> list;
    ASSERT_TRUE(ReadLineFile(context->folders.TransferList(), list));
    EXPECT_EQ(list, (std::vector<std::string>{"ftp://alice@127.0.0.1:" + port, "web/"}));
}

TEST_F(PublishToPyFtpdlib, WatchdogReconnectsAfterAStallAndSendsTheFileAgain) {
    bool stalled = false;
    view.onLog = [&](const std::string& line) {
        auto pid = static_cast<pid_t>(server.processId());
        if (!stalled && line == Utf8ToAnsi("Übertrage  p101.jpg")) {
            stalled = true;
            ::kill(pid, SIGSTOP);
        } else if (line == "Verbindung zum Server verloren") {
            ::kill(pid, SIGCONT);
        }
    };
    ASSERT_EQ(Publish(false, 1000), TPublishCode::Completed);
    EXPECT_EQ(job->Reconnects(), 1);
    EXPECT_EQ(ReadBytes(web / "Urlaub" / "images" / "p101.jpg"), "image1");
    std::vector<std::string> list;
    ASSERT_TRUE(ReadLineFile(context->folders.TransferList(), list));
    EXPECT_EQ(
        std::count_if(list.begin(), list.end(),
                      [](const std::string& l) { return l.find("images/p101.jpg\t") != std::string::npos; }),
        1)
        << "the interrupted attempt leaves no line of its own";
}

// Extra sessions take files of the same folder side by side: every file arrives whole, is recorded
// once, and an unchanged second run sends nothing.
TEST_F(PublishToPyFtpdlib, ParallelSessionsShareAFolderAndRecordEveryFile) {
    auto pictures = ManyPictures();
    context->settings.cbParallelUploads = true;
    ASSERT_EQ(Publish(), TPublishCode::Completed);
    EXPECT_TRUE(view.Logged("Zusätzliche Verbindungen für dieses Verzeichnis: 3"));
    for (const auto& [name, bytes] : pictures)
        EXPECT_TRUE(ReadBytes(web / "Urlaub" / "images" / name) == bytes) << name;
    EXPECT_EQ(view.Sent().size(), static_cast<size_t>(job->TotalFiles()));
    std::vector<std::string> list;
    ASSERT_TRUE(ReadLineFile(context->folders.TransferList(), list));
    EXPECT_EQ(list.size(), static_cast<size_t>(job->TotalFiles()) + 2);
    EXPECT_TRUE(RunUntil([&] {
        ReadStoredLines();
        return storingSessions.size() >= 2;
    })) << "more than one session stored files";

    ASSERT_EQ(Publish(), TPublishCode::Completed);
    EXPECT_TRUE(view.Sent().empty());
}

class PublishToOneSessionServer : public PublishToPyFtpdlib {
protected:
    QStringList ServerOptions() const override { return {QStringLiteral("--one-session-per-address")}; }
};

// A server that takes one session per address refuses the extra ones; the main session sends all.
TEST_F(PublishToOneSessionServer, RefusedExtraSessionsLeaveEveryFileToTheMainOne) {
    auto pictures = ManyPictures();
    context->settings.cbParallelUploads = true;
    ASSERT_EQ(Publish(), TPublishCode::Completed);
    EXPECT_TRUE(std::any_of(view.lines.begin(), view.lines.end(), [](const std::string& line) {
        return line.rfind(Utf8ToAnsi("Zusätzliche Verbindung beendet: 421"), 0) == 0;
    }));
    for (const auto& [name, bytes] : pictures)
        EXPECT_TRUE(ReadBytes(web / "Urlaub" / "images" / name) == bytes) << name;
    EXPECT_EQ(view.Sent().size(), static_cast<size_t>(job->TotalFiles()));
}

} // namespace
