// The publish job against a real server: pyftpdlib on 127.0.0.1 serving a generated site.
#include "program/site_run.h"
#include "common/cp1252.h"
#include "common/line_file.h"
#include "net/run_until.h"
#include "publishing/publish_job.h"
#include "site_generator/site_fixture.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

using namespace vistrel;
using vistrel::testing::ReadBytes;
using vistrel::testing::RunUntil;
using vistrel::testing::WriteBytes;
namespace fs = std::filesystem;

namespace {

class RecordingView : public PublishView {
public:
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
        server.setArguments({VISTREL_SOURCE_DIR "/tests/ftp_integration/publish_ftp_server.py",
                             QString::fromStdString(serverRoot.string())});
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
        client.TimeoutMs = 5000;
        client.EndOfFileDelayMs = 5;
    }

    void TearDown() override {
        job.reset();
        if (server.state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(server.processId()), SIGCONT);
            server.kill();
            server.waitForFinished(5000);
        }
    }

    TPublishOutcome Publish(bool deleteAll = false, int watchdogMs = 60000) {
        TPublishTimings timings;
        timings.startDelayMs = 0;
        timings.connectFailedDelayMs = 0;
        timings.watchdogMs = watchdogMs;
        job.reset(); // its destructor unwires the client, so it goes before the next one wires it
        job = std::make_unique<TPublishJob>(client, context->settings, prompts, view,
                                            context->folders.TransferList(), timings);
        job->TakeSettings();
        job->SetPlan(BuildUploadPlan(context->albums));
        job->Prepare();
        job->cbDeleteAll = deleteAll;
        client.TimeoutMs = 5000; // the job sets Timeout in seconds; tests keep their own limit
        return job->Run();
    }

    fs::path serverRoot = dir / "server";
    fs::path web = serverRoot / "web";
    QProcess server;
    std::string port;
    std::unique_ptr<TProgramContext> context;
    TFtpClient client;
    RecordingView view;
    std::unique_ptr<TPublishJob> job;
};

TEST_F(PublishToPyFtpdlib, SendsTheSiteThenOnlyWhatChanged) {
    ASSERT_EQ(Publish(), TPublishOutcome::Completed);
    EXPECT_EQ(ReadBytes(web / "Urlaub" / "images" / "p100.jpg"), "image0");
    EXPECT_EQ(ReadBytes(web / "Zoo" / "thumbs" / "p100.jpg"), "thumb0");
    EXPECT_EQ(ReadBytes(web / "index.html"), ReadBytes(galleries / "index.html"));
    EXPECT_EQ(ReadBytes(web / "Urlaub" / "info.txt"), ReadBytes(galleries / "Urlaub" / "info.txt"));
    EXPECT_EQ(view.Sent().size(), static_cast<size_t>(job->TotalFiles()));
    EXPECT_EQ(prompts.messages.back(), Utf8ToAnsi("Übertragung zu 127.0.0.1 in das Verzeichnis web/ beendet."));
    EXPECT_EQ(view.closes, 1);
    EXPECT_TRUE(view.Logged("PASS"));
    std::vector<std::string> list;
    ASSERT_TRUE(ReadLineFile(context->folders.TransferList(), list));
    EXPECT_EQ(list.size(), static_cast<size_t>(job->TotalFiles()) + 2);

    WriteBytes(galleries / "Urlaub" / "images" / "p101.jpg", "image1 retouched");
    ASSERT_EQ(Publish(), TPublishOutcome::Completed);
    EXPECT_EQ(view.Sent(), (std::vector<std::string>{"p101.jpg"}));
    EXPECT_EQ(ReadBytes(web / "Urlaub" / "images" / "p101.jpg"), "image1 retouched");
}

TEST_F(PublishToPyFtpdlib, ServerCheckSendsAFileDeletedOnTheServer) {
    ASSERT_EQ(Publish(), TPublishOutcome::Completed);
    fs::remove(web / "Zoo" / "images" / "p100.jpg");
    ASSERT_EQ(Publish(), TPublishOutcome::Completed);
    EXPECT_TRUE(view.Logged("Erneute Übertragung: p100.jpg"));
    EXPECT_EQ(view.Sent(), (std::vector<std::string>{"p100.jpg"}));
    EXPECT_EQ(ReadBytes(web / "Zoo" / "images" / "p100.jpg"), "image0");
}

TEST_F(PublishToPyFtpdlib, EmptiesTheServerFolderFirstAndSendsEverything) {
    ASSERT_EQ(Publish(), TPublishOutcome::Completed);
    WriteBytes(web / "stale.html", "old");
    WriteBytes(web / "Alt" / "images" / "x.jpg", "old");
    WriteBytes(serverRoot / "outside.txt", "keep");
    ASSERT_EQ(Publish(true), TPublishOutcome::Completed);
    EXPECT_EQ(prompts.questions.back(), Utf8ToAnsi("Wollen Sie wirklich alle Dateien auf dem Server löschen?"));
    EXPECT_FALSE(fs::exists(web / "stale.html"));
    EXPECT_FALSE(fs::exists(web / "Alt"));
    EXPECT_TRUE(fs::exists(serverRoot / "outside.txt"));
    EXPECT_EQ(view.Sent().size(), static_cast<size_t>(job->TotalFiles())) << "the old list no longer counts";
    EXPECT_EQ(ReadBytes(web / "Urlaub" / "images" / "p100.jpg"), "image0");
}

TEST_F(PublishToPyFtpdlib, WrongPasswordLeavesOnlyTheHeaderInTheTransferList) {
    context->settings.edFTPPassword = "wrong";
    EXPECT_EQ(Publish(), TPublishOutcome::Failed);
    EXPECT_EQ(prompts.messages.back(), "Fehlerhaftes Passwort");
    EXPECT_TRUE(view.Logged("Verbindung fehlgeschlagen"));
    std::vector<std::string> list;
    ASSERT_TRUE(ReadLineFile(context->folders.TransferList(), list));
    EXPECT_EQ(list, (std::vector<std::string>{"127.0.0.1", "web/"}));
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
    ASSERT_EQ(Publish(false, 1000), TPublishOutcome::Completed);
    EXPECT_EQ(job->Reconnects(), 1);
    EXPECT_EQ(ReadBytes(web / "Urlaub" / "images" / "p101.jpg"), "image1");
    std::vector<std::string> list;
    ASSERT_TRUE(ReadLineFile(context->folders.TransferList(), list));
    EXPECT_EQ(std::count_if(list.begin(), list.end(),
                            [](const std::string& l) { return l.find("images/p101.jpg\t") != std::string::npos; }),
              1)
        << "the interrupted attempt leaves no line of its own";
}

} // namespace
