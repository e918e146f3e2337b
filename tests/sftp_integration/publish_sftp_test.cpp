// The whole publish job over SFTP against Debian's OpenSSH server: incremental and truthful
// uploads, the server check, the deletion of everything, a killed run, host keys, logins,
// parallel sessions, a silent server, and vistrel-cli with a key's passphrase on standard input.
#include "common/cp1252.h"
#include "common/line_file.h"
#include "program/site_run.h"
#include "publishing/publish_job.h"
#include "publishing/sftp_transfer.h"
#include "publishing/transfer_journal.h"
#include "publishing/transfer_list.h"
#include "sftp_integration/ssh_server.h"
#include "site_generator/site_fixture.h"
#include "support/cli_run.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <sstream>

using namespace vistrel;
using namespace vistrel::testing;
namespace fs = std::filesystem;

namespace {

class SftpView : public PublishView {
public:
    void Log(const std::string& line) override {
        lines.push_back(line);
        if (onLog) onLog(line);
    }
    void ClearLog() override { lines.clear(); }
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
    bool TrustHostKey(const std::string&, const std::string&, const std::string& fingerprint,
                      const std::string& previous) override {
        asked.push_back(previous.empty() ? fingerprint : previous + " -> " + fingerprint);
        return trust;
    }
    std::optional<std::string> AskPassword() override { return password; }
    std::function<void(const std::string&)> onLog;
    std::vector<std::string> lines;
    std::vector<std::string> asked;
    bool trust = true;
    std::optional<std::string> password;
};

class PublishOverSftp : public SiteTest {
protected:
    static void SetUpTestSuite() {
        keys_ = new TempDir;
        MakeKey(*keys_ / "host", "ed25519");
        MakeKey(*keys_ / "other_host", "ed25519");
        MakeKey(*keys_ / "id_ed25519", "ed25519");
        MakeKey(*keys_ / "id_locked", "ed25519", "Sesam öffne dich");
        WriteBytes(*keys_ / "authorized_keys",
                   ReadBytes(*keys_ / "id_ed25519.pub") + ReadBytes(*keys_ / "id_locked.pub"));
    }
    static void TearDownTestSuite() {
        delete keys_;
        keys_ = nullptr;
    }

    void SetUp() override {
        oldHome_ = std::getenv("HOME") ? std::getenv("HOME") : "";
        setenv("HOME", home_.path().c_str(), 1);
        unsetenv("SSH_AUTH_SOCK");
        server_ = std::make_unique<TSshServer>(*keys_ / "host", *keys_ / "authorized_keys");
        ASSERT_TRUE(server_->Start()) << server_->Log();
        StyleFile("index.html", "<html><!--/#GALLERYTITLE#/--></html>\r\n");
        StyleFile("thumbs.html", "/#ALLTHUMBS#/[/#THUMBURL#/]/#ENDALLTHUMBS#/\r\n");
        StyleFile("images.html", "/#IMAGEURL#/\r\n");
        AddAlbum("Urlaub", 2, true);
        AddAlbum("Zoo", 1, true);
        context = Start();
        ASSERT_TRUE(GenerateSite(SiteParamsOf(*context, TSiteMode::Publish), progress, host).startPageExists);
        TProgramSettings& settings = context->settings;
        settings.rgProtocol = 1;
        settings.edFTPServer = "127.0.0.1";
        settings.edFTPPort = std::to_string(server_->Port());
        settings.edFTPUser = SshTestAccount().user;
        settings.edFTPPassword.clear();
        settings.edSSHKeyFile = (*keys_ / "id_ed25519").string();
        settings.edFTPDirectory = "web";
        settings.cbCheckServer = true;
        settings.cbParallelUploads = false;
        web = server_->Root() / "web";
    }
    void TearDown() override {
        job.reset();
        setenv("HOME", oldHome_.c_str(), 1);
    }

    TPublishCode Publish(bool deleteAll = false, int stallMs = 10000) {
        TPublishParams params;
        TakeSettings(params, context->settings);
        params.plan = BuildUploadPlan(context->albums);
        params.transferListFile = context->folders.TransferList();
        params.timings.startDelayMs = 0;
        params.timings.connectFailedDelayMs = 0;
        params.timings.transferTimeoutMs = stallMs;
        params.timings.deleteTimeoutMs = stallMs;
        job = std::make_unique<TPublishJob>(prompts, view);
        job->Prepare(params);
        params.deleteAll = deleteAll;
        result = job->Run(params);
        return result.code;
    }

    std::string Protocol() const {
        std::string text;
        for (const auto& line : view.lines)
            text += AnsiToUtf8(line) + "\n";
        return text;
    }
    std::string Closing() { return AnsiToUtf8(PublishMessage(result, job->HostName(), job->RemoteRoot())); }

    static inline TempDir* keys_ = nullptr;
    TempDir home_;
    std::string oldHome_;
    std::unique_ptr<TSshServer> server_;
    fs::path web;
    std::unique_ptr<TProgramContext> context;
    SftpView view;
    std::unique_ptr<TPublishJob> job;
    TPublishResult result;
};

TEST_F(PublishOverSftp, SendsTheSiteThenNothingThenWhatChanged) {
    ASSERT_EQ(Publish(), TPublishCode::Completed) << Closing();
    EXPECT_EQ(ReadBytes(web / "Urlaub" / "images" / "p100.jpg"), "image0");
    EXPECT_EQ(ReadBytes(web / "Zoo" / "thumbs" / "p100.jpg"), "thumb0");
    EXPECT_EQ(ReadBytes(web / "index.html"), ReadBytes(galleries / "index.html"));
    EXPECT_EQ(view.Sent().size(), size_t(job->TotalFiles()));
    EXPECT_EQ(view.asked.size(), 1u) << "the new server's key was asked about once";
    EXPECT_TRUE(fs::exists(context->folders.program / "known_hosts"));
    std::vector<std::string> list;
    ASSERT_TRUE(ReadLineFile(context->folders.TransferList(), list));
    EXPECT_EQ(list[0], "sftp://" + SshTestAccount().user + "@127.0.0.1:" + std::to_string(server_->Port()));

    ASSERT_EQ(Publish(), TPublishCode::Completed);
    EXPECT_TRUE(view.Sent().empty()) << "nothing changed, nothing written";
    EXPECT_EQ(view.asked.size(), 1u);

    WriteBytes(galleries / "Urlaub" / "images" / "p101.jpg", "image1 retouched");
    ASSERT_EQ(Publish(), TPublishCode::Completed);
    EXPECT_EQ(view.Sent(), (std::vector<std::string>{"p101.jpg"}));
    EXPECT_EQ(ReadBytes(web / "Urlaub" / "images" / "p101.jpg"), "image1 retouched");
}

TEST_F(PublishOverSftp, ServerCheckSendsAFileDeletedOnTheServer) {
    ASSERT_EQ(Publish(), TPublishCode::Completed);
    fs::remove(web / "Zoo" / "images" / "p100.jpg");
    ASSERT_EQ(Publish(), TPublishCode::Completed);
    EXPECT_TRUE(view.Logged("Erneute Übertragung: p100.jpg"));
    EXPECT_EQ(ReadBytes(web / "Zoo" / "images" / "p100.jpg"), "image0");
}

TEST_F(PublishOverSftp, DeleteAllEmptiesTheFolderWithoutFollowingLinks) {
    ASSERT_EQ(Publish(), TPublishCode::Completed);
    WriteBytes(web / ".htaccess", "deny");
    WriteBytes(web / "my old page.html", "old");
    WriteBytes(web / "Alt" / "a folder" / ".hidden" / "deep.txt", "old");
    fs::create_directories(web / "Alt" / "empty");
    WriteBytes(server_->Root() / "outside" / "keep.txt", "keep");
    fs::create_directory_symlink(server_->Root() / "outside", web / "link");
    server_->GiveToAccount();
    ASSERT_EQ(Publish(true), TPublishCode::Completed) << Closing() << Protocol();
    for (const char* gone : {".htaccess", "my old page.html", "Alt"})
        EXPECT_FALSE(fs::exists(fs::symlink_status(web / gone))) << gone;
    EXPECT_EQ(ReadBytes(server_->Root() / "outside" / "keep.txt"), "keep") << "a link is never entered";
    EXPECT_EQ(view.Sent().size(), size_t(job->TotalFiles()));
}

TEST_F(PublishOverSftp, AKilledUploadIsSentAgainAndItsLeftoverRemoved) {
    ASSERT_EQ(Publish(), TPublishCode::Completed);
    WriteBytes(galleries / "Urlaub" / "images" / "p101.jpg", std::string(300000, 'n'));
    const fs::path list = context->folders.TransferList();
    const fs::path journal = TTransferJournal::PathFor(list);
    std::string listAtKill, journalAtKill;
    view.onLog = [&](const std::string& line) {
        if (line != Utf8ToAnsi("Übertrage  p101.jpg")) return;
        listAtKill = ReadBytes(list);
        journalAtKill = ReadBytes(journal);
    };
    ASSERT_EQ(Publish(), TPublishCode::Completed);
    view.onLog = nullptr;
    // As if the process had died there: the list of that moment, and a torn temporary file.
    WriteBytes(list, listAtKill);
    WriteBytes(journal, journalAtKill);
    WriteBytes(web / "Urlaub" / "images" / SftpTemporaryName("p101.jpg"), std::string(1000, 'n'));
    server_->GiveToAccount();
    ASSERT_EQ(Publish(), TPublishCode::Completed);
    EXPECT_EQ(view.Sent(), (std::vector<std::string>{"p101.jpg"}));
    EXPECT_EQ(ReadBytes(web / "Urlaub" / "images" / "p101.jpg"), std::string(300000, 'n'));
    EXPECT_FALSE(fs::exists(web / "Urlaub" / "images" / SftpTemporaryName("p101.jpg")));
}

TEST_F(PublishOverSftp, UnknownAndChangedHostKeysSendNothing) {
    view.trust = false;
    EXPECT_EQ(Publish(), TPublishCode::HostKeyRejected);
    EXPECT_NE(Closing().find(KeygenFingerprint(*keys_ / "host.pub")), std::string::npos) << Closing();
    EXPECT_FALSE(fs::exists(web));

    WriteBytes(context->folders.program / "known_hosts",
               "[127.0.0.1]:" + std::to_string(server_->Port()) + " " + ReadBytes(*keys_ / "other_host.pub"));
    EXPECT_EQ(Publish(), TPublishCode::HostKeyChanged);
    const std::string closing = Closing();
    EXPECT_NE(closing.find(KeygenFingerprint(*keys_ / "other_host.pub")), std::string::npos) << closing;
    EXPECT_NE(closing.find(KeygenFingerprint(*keys_ / "host.pub")), std::string::npos) << closing;
    EXPECT_EQ(server_->Log().find("userauth-request"), std::string::npos) << "no credential was offered";
    EXPECT_FALSE(fs::exists(web));
}

TEST_F(PublishOverSftp, WrongPasswordSaysSo) {
    context->settings.edSSHKeyFile.clear();
    context->settings.edFTPPassword = "falsch";
    EXPECT_EQ(Publish(), TPublishCode::BadPassword);
    EXPECT_FALSE(fs::exists(web));
}

TEST_F(PublishOverSftp, PasswordLoginWhenAsked) {
    if (SshTestAccount().password.empty())
        GTEST_SKIP() << "password logins need a test account (run as root)";
    context->settings.edSSHKeyFile.clear();
    view.password = SshTestAccount().password;
    ASSERT_EQ(Publish(), TPublishCode::Completed) << Closing();
    EXPECT_EQ(ReadBytes(web / "Urlaub" / "images" / "p100.jpg"), "image0");
}

TEST_F(PublishOverSftp, ParallelSessionsShareAFolder) {
    // One session keeps many files on their way; others join only for more than two batches.
    context->settings.cbParallelUploads = true;
    constexpr int kExtra = 1040;
    for (int i = 0; i < kExtra; ++i)
        WriteBytes(galleries / "Urlaub" / "images" / ("extra" + std::to_string(i) + ".jpg"),
                   std::string(1000 + i, 'x'));
    ASSERT_EQ(Publish(), TPublishCode::Completed) << Closing();
    for (int i = 0; i < kExtra; ++i)
        EXPECT_EQ(fs::file_size(web / "Urlaub" / "images" / ("extra" + std::to_string(i) + ".jpg")),
                  size_t(1000 + i));
    const std::string log = server_->Log();
    size_t logins = 0;
    for (auto at = log.find("Accepted publickey"); at != std::string::npos;
         at = log.find("Accepted publickey", at + 1))
        ++logins;
    EXPECT_GT(logins, 1u) << "more than one session sent files";
    std::vector<std::string> list;
    ASSERT_TRUE(ReadLineFile(context->folders.TransferList(), list));
    EXPECT_EQ(list.size(), size_t(job->TotalFiles()) + 2);
}

TEST_F(PublishOverSftp, SilentServerEndsWithinTheTimeLimit) {
    TSilentServer silent;
    context->settings.edFTPPort = std::to_string(silent.Port());
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(Publish(false, 500), TPublishCode::LoginFailed) << Closing();
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_FALSE(Closing().empty());
}

TEST_F(PublishOverSftp, CliReadsThePassphraseFromStandardInput) {
    context->settings.edSSHKeyFile = (*keys_ / "id_locked").string();
    context->settings.Save();
    context->albums.SaveAlbumList();
    std::string out, err;
    std::istringstream input("Sesam öffne dich\n");
    std::streambuf* saved = std::cin.rdbuf(input.rdbuf());
    const int unknown = RunCliCaptured({"--program-folder", dir.path().string(), "publish"}, out, err);
    EXPECT_EQ(unknown, 1);
    const std::string fingerprint = KeygenFingerprint(*keys_ / "host.pub");
    EXPECT_NE(err.find("--trust-host-key " + fingerprint), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(web));
    const int code = RunCliCaptured(
        {"--program-folder", dir.path().string(), "publish", "--trust-host-key", fingerprint}, out, err);
    std::cin.rdbuf(saved);
    EXPECT_EQ(code, 0) << out << err;
    EXPECT_EQ(ReadBytes(web / "Urlaub" / "images" / "p100.jpg"), "image0");
}

} // namespace
