// The FTP client against the scripted in-process server: the cases a real server cannot be made
// to show, with the exact command transcript.
#include "net/run_until.h"
#include "publishing/ftp_client.h"
#include "scripted_ftp_server.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <algorithm>
#include <string>
#include <vector>

using namespace vistrel;
using vistrel::testing::Drain;
using vistrel::testing::ReadBytes;
using vistrel::testing::RunUntil;
using vistrel::testing::ScriptedFtpServer;
using vistrel::testing::TempDir;
using vistrel::testing::WriteBytes;

namespace {

using Transcript = std::vector<std::string>;

class ScriptedFtp : public ::testing::Test {
protected:
    void SetUp() override {
        client.Config.HostName = "127.0.0.1";
        client.Config.Port = server.Port();
        client.Config.UserName = "alice";
        client.Config.PassWord = "secret";
        client.TimeoutMs = 5000;
        client.Config.EndOfFileDelayMs = 10;
        client.OnRequestDone = [this](TFtpRequest request, int error) { done.push_back({request, error}); };
        client.OnSessionConnected = [this](int) { ++sessionsConnected; };
    }

    bool Upload(const std::string& bytes) {
        WriteBytes(temp / "bild.jpg", bytes);
        client.LocalFileName = (temp / "bild.jpg").string();
        client.HostFileName = "bild.jpg";
        return client.Put();
    }

    size_t CountDone(TFtpRequest request) {
        Drain();
        return static_cast<size_t>(
            std::count_if(done.begin(), done.end(), [&](auto& d) { return d.first == request; }));
    }

    ScriptedFtpServer server;
    TFtpClient client;
    TempDir temp;
    std::vector<std::pair<TFtpRequest, int>> done;
    int sessionsConnected = 0;
};

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 29 + i / 1460);
    return bytes;
}

} // namespace

TEST_F(ScriptedFtp, MultiLineWelcomeCompletesTheOpenStepOnce) {
    // Inner lines may begin with the code, even with "220-", without ending the reply.
    server.welcome =
        "220-Willkommen\r\n220-Zweite Zeile\r\n Text ohne Code\r\n220Kein Ende\r\n331 auch nicht\r\n"
        "220 Bereit\r\n";
    client.ConnectAsync();
    EXPECT_TRUE(done.empty()) << "OnRequestDone never fires inside the call";
    ASSERT_TRUE(RunUntil([&] { return !done.empty(); }));
    EXPECT_EQ(done.front(), std::make_pair(ftpConnectAsync, 0));
    EXPECT_EQ(sessionsConnected, 1);
    EXPECT_EQ(server.transcript, (Transcript{"USER alice", "PASS secret"}));
    EXPECT_EQ(CountDone(ftpConnectAsync), 1u);
}

TEST_F(ScriptedFtp, WelcomeMayBeAnnouncedWith120) {
    server.welcome = "120 Gleich bereit\r\n220 Bereit\r\n";
    ASSERT_TRUE(client.Connect()) << client.ErrorMessage();
    server.welcome = "421 Zu viele Verbindungen\r\n";
    client.Abort();
    EXPECT_FALSE(client.Connect());
    EXPECT_EQ(client.ErrorMessage(), "421 Zu viele Verbindungen (got 421 to the welcome, expected 220)");
}

TEST_F(ScriptedFtp, UserAnsweredWith230SendsNoPass) {
    server.replies["USER"] = "230 No password needed\r\n";
    ASSERT_TRUE(client.Connect());
    EXPECT_EQ(server.transcript, Transcript{"USER alice"});
}

TEST_F(ScriptedFtp, FailedPassReportsTheConnectRequestWithItsCode) {
    server.replies["PASS"] = "530 Login incorrect\r\n";
    EXPECT_FALSE(client.Connect());
    Drain();
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0], std::make_pair(ftpConnectAsync, 530));
    EXPECT_EQ(client.ErrorMessage(), "530 Login incorrect (got 530 to PASS, expected 230)");
}

TEST_F(ScriptedFtp, RepliesByteByByteAndWithLoneLF) {
    server.oneBytePerWrite = true;
    server.welcome = "220 Ready\n";
    server.replies["USER"] = "331 Pw\n";
    server.replies["PASS"] = "230-Hallo\n230 Ok\n";
    ASSERT_TRUE(client.Connect());
    EXPECT_EQ(client.LastResponse(), "230 Ok");
}

TEST_F(ScriptedFtp, WithoutAcceptLFaLoneLFDoesNotEndTheReply) {
    client.Config.Options = 0;
    client.TimeoutMs = 300;
    server.welcome = "220 Ready\n";
    EXPECT_FALSE(client.Connect());
    EXPECT_EQ(client.ErrorMessage(), "426 Timeout");
    EXPECT_TRUE(server.transcript.empty());
}

TEST_F(ScriptedFtp, OverlongReplyLineClosesTheSession) {
    server.welcome = "220 " + std::string(5000, 'x') + "\r\n";
    EXPECT_FALSE(client.Connect());
    Drain();
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].first, ftpConnectAsync);
    EXPECT_EQ(done[0].second, 421);
    EXPECT_EQ(client.ErrorMessage(), "421 Reply line longer than 4095 bytes");
    EXPECT_FALSE(client.Connected());
}

TEST_F(ScriptedFtp, NegativeRepliesFailWithTheirCodeAndSayWhatWasExpected) {
    ASSERT_TRUE(client.Connect());
    struct Row {
        const char* verb;
        const char* reply;
        bool (TFtpClient::*operation)();
        TFtpRequest request;
        int result;
        const char* error;
    };
    const Row rows[] = {
        {"CDUP", "200 Ok\r\n", &TFtpClient::CDup, ftpCDupAsync, 0, ""}, // RFC 959 lists 200 for CDUP
        {"CDUP", "550 No\r\n", &TFtpClient::CDup, ftpCDupAsync, 550,
         "550 No (got 550 to CDUP, expected 200, 250 or 257)"},
        {"CDUP", "250 Ok\r\n", &TFtpClient::CDup, ftpCDupAsync, 0, ""},
        {"MKD", "550 Exists\r\n", &TFtpClient::Mkd, ftpMkdAsync, 550,
         "550 Exists (got 550 to MKD, expected 250 or 257)"},
        {"DELE", "250 Deleted\r\n", &TFtpClient::Dele, ftpDeleAsync, 0, ""},
        {"TYPE", "504 No\r\n", &TFtpClient::TypeSet, ftpTypeSetAsync, 504,
         "504 No (got 504 to TYPE, expected 200)"},
        {"STOR", "553 Bad name\r\n", &TFtpClient::Put, ftpPutAsync, 553,
         "553 Bad name (got 553 to STOR, expected 125 or 150)"},
    };
    client.HostFileName = "x";
    WriteBytes(temp / "x", "abc");
    client.LocalFileName = (temp / "x").string();
    for (const auto& row : rows) {
        server.replies[row.verb] = row.reply;
        done.clear();
        EXPECT_EQ((client.*row.operation)(), row.result == 0) << row.verb << " " << row.reply;
        Drain();
        ASSERT_EQ(done.size(), 1u) << row.verb;
        EXPECT_EQ(done[0], std::make_pair(row.request, row.result)) << row.verb;
        if (row.result != 0) {
            EXPECT_EQ(client.ErrorMessage(), row.error);
        }
    }
}

// The steps a request goes through, as OnStateChange sees them: the machine's shape, pinned.
TEST_F(ScriptedFtp, StepsOfLoginUploadAndQuit) {
    std::vector<std::string> steps;
    client.OnStateChange = [&] { steps.push_back(StepName(client.Step())); };
    ASSERT_TRUE(client.Connect());
    using Names = std::vector<std::string>;
    EXPECT_EQ(steps, (Names{"Resolve", "Connect", "Welcome", "User", "Pass", "Stop"}));
    for (bool passive : {true, false}) {
        client.SetPassive(passive);
        steps.clear();
        ASSERT_TRUE(Upload("abc"));
        Names expected = {passive ? "Pasv" : "Port", "DataCommand", "DataWait", "Transfer",
                          "TransferClosed",          "Stop"};
        EXPECT_EQ(steps, expected) << "passive " << passive;
    }
    steps.clear();
    ASSERT_TRUE(client.Quit());
    EXPECT_EQ(steps, (Names{"Quit", "Stop"}));
}

// A data connection the server closes early leaves a truncated file: a 226 for it is no success.
TEST_F(ScriptedFtp, UploadCutShortFailsEvenWhenTheServerConfirmsIt) {
    for (bool passive : {false, true}) {
        client.SetPassive(passive);
        if (!client.Connected()) {
            ASSERT_TRUE(client.Connect());
        }
        server.closeAfterBytes = 1000;
        done.clear();
        EXPECT_FALSE(Upload(Pattern(3000000))) << "passive " << passive;
        EXPECT_LT(server.stored.size(), 3000000u);
        EXPECT_EQ(CountDone(ftpPutAsync), 1u);
        EXPECT_EQ(done.back().second, 426);
    }
}

TEST_F(ScriptedFtp, BusyClientRefusesASecondRequestAtOnce) {
    ASSERT_TRUE(client.Connect());
    server.replies.erase("CWD"); // no reply arrives before the second call
    server.replies["CWD"] = "";
    client.HostDirName = "album";
    client.CwdAsync();
    EXPECT_FALSE(client.Cwd());
    EXPECT_EQ(client.ErrorMessage(), "FTP component not ready");
    EXPECT_THROW(client.CDupAsync(), FtpException);
}

TEST_F(ScriptedFtp, StartChecksRaiseTheirMessages) {
    auto message = [](auto&& call) {
        try {
            call();
        } catch (const FtpException& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    EXPECT_EQ(message([&] { client.CwdAsync(); }), "HostDirName emtpy");
    client.HostDirName = "x";
    EXPECT_EQ(message([&] { client.CwdAsync(); }), "FTP component not connected");
    client.LocalFileName = "x";
    EXPECT_EQ(message([&] { client.PutAsync(); }), "STOR/APPE: not connected");
    ASSERT_TRUE(client.Connect());
    EXPECT_EQ(message([&] { client.ConnectAsync(); }), "FTP component already connected");
    client.LocalFileName.clear();
    EXPECT_EQ(message([&] { client.PutAsync(); }), "LocalFileName empty");
}

TEST_F(ScriptedFtp, ActivePortNamesLoopbackAndBothOrdersUpload) {
    for (bool replyFirst : {false, true}) {
        ScriptedFtpServer local;
        local.connectAfterReply = replyFirst;
        client.Abort();
        client.Config.Port = local.Port();
        ASSERT_TRUE(client.Connect());
        std::string bytes = Pattern(100000);
        ASSERT_TRUE(Upload(bytes)) << client.ErrorMessage();
        EXPECT_TRUE(local.stored == bytes) << "reply first: " << replyFirst;
        ASSERT_GE(local.transcript.size(), 4u);
        EXPECT_EQ(local.transcript[2].rfind("PORT 127,0,0,1,", 0), 0u) << local.transcript[2];
        EXPECT_EQ(local.transcript[3], "STOR bild.jpg");
    }
}

TEST_F(ScriptedFtp, EmptyFileIsUploadedAsEmptyFile) {
    for (bool passive : {false, true}) {
        client.SetPassive(passive);
        if (!client.Connected()) {
            ASSERT_TRUE(client.Connect());
        }
        server.stored = "old";
        done.clear();
        ASSERT_TRUE(Upload("")) << client.ErrorMessage();
        EXPECT_EQ(server.stored, "");
        EXPECT_TRUE(server.storedComplete);
        EXPECT_EQ(CountDone(ftpPutAsync), 1u);
    }
}

TEST_F(ScriptedFtp, ConfirmationBeforeOrAfterTheCloseCompletesOnce) {
    std::string bytes = Pattern(5000);
    std::string log;
    client.OnDisplay = [&](const std::string& line) { log += line + "\n"; };
    for (bool passive : {false, true}) {
        for (bool early : {false, true}) {
            client.SetPassive(passive);
            if (!client.Connected()) {
                ASSERT_TRUE(client.Connect());
            }
            server.confirmAfterBytes = early ? static_cast<long long>(bytes.size()) : -1;
            server.confirmBeforeClose = early;
            server.listing = "a.jpg\r\nb.jpg\r\n";
            done.clear();
            ASSERT_TRUE(Upload(bytes)) << passive << early;
            EXPECT_TRUE(server.stored == bytes);
            client.LocalFileName = (temp / "filelist.$$$").string();
            client.HostFileName = "*";
            log.clear();
            ASSERT_TRUE(client.Ls()) << passive << early << client.ErrorMessage() << "\n" << log;
            EXPECT_EQ(ReadBytes(temp / "filelist.$$$"), server.listing);
            EXPECT_EQ(CountDone(ftpPutAsync), 1u);
            EXPECT_EQ(CountDone(ftpLsAsync), 1u);
        }
    }
    EXPECT_EQ(server.transcript.back(), "NLST *");
    EXPECT_EQ(std::count(server.transcript.begin(), server.transcript.end(), "PASV"), 4);
}

TEST_F(ScriptedFtp, PasvReplyWithoutNumbersFailsAndClosesTheSession) {
    client.SetPassive(true);
    server.pasvReply = "227 Entering Passive Mode\r\n";
    ASSERT_TRUE(client.Connect());
    EXPECT_FALSE(Upload("abc"));
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(CountDone(ftpPutAsync), 1u);
    EXPECT_NE(done.back().second, 0);
}

// STOR is out before the data connection stands; when that connection fails, the server still
// owes a reply, so the session ends instead of reading that reply as the next command's.
TEST_F(ScriptedFtp, FailedPassiveConnectionAfterStorEndsTheSession) {
    client.SetPassive(true);
    server.pasvReply = "227 Entering Passive Mode (127,0,0,1,0,1)\r\n"; // port 1: refused
    ASSERT_TRUE(client.Connect());
    EXPECT_FALSE(Upload("abc"));
    EXPECT_EQ(CountDone(ftpPutAsync), 1u);
    EXPECT_EQ(done.back().second, 550);
    EXPECT_EQ(client.ErrorMessage(), "Unable to establish data connection, error #10061");
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(server.transcript.back(), "STOR bild.jpg");
}

// The numbers without parentheses are read; the named host (another one, as a server behind NAT
// or a bouncing one would name) is only noted, the data goes to the control connection's server.
TEST_F(ScriptedFtp, PasvNumbersAnywhereAndTheDataGoesToTheControlPeer) {
    client.SetPassive(true);
    server.pasvBare = true;
    server.pasvHost = "10,9,8,7";
    std::vector<std::string> notes;
    client.OnDisplay = [&](const std::string& line) { notes.push_back(line); };
    ASSERT_TRUE(client.Connect());
    EXPECT_TRUE(Upload("abc"));
    EXPECT_EQ(server.stored, "abc");
    EXPECT_NE(std::find(notes.begin(), notes.end(), "! PASV names 10.9.8.7, connecting to 127.0.0.1"),
              notes.end());
}

TEST_F(ScriptedFtp, EndlessWelcomeEndsAtTheReplyLimit) {
    server.welcome = "220-Hallo\r\n";
    server.endlessWelcomeMs = 5;
    client.Config.ReplyTimeLimitMs = 300;
    client.TimeoutMs = 10000;
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(client.Connect());
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_FALSE(client.Connected());
    EXPECT_NE(client.ErrorMessage().find("Reply not complete"), std::string::npos) << client.ErrorMessage();
}

TEST_F(ScriptedFtp, OverlongMultiLineReplyEndsTheSession) {
    std::string welcome = "220-Hallo\r\n";
    while (welcome.size() < 70000)
        welcome += "220-" + std::string(1000, 'x') + "\r\n";
    server.welcome = welcome + "220 Ende\r\n";
    EXPECT_FALSE(client.Connect());
    EXPECT_NE(client.ErrorMessage().find("Reply longer than"), std::string::npos) << client.ErrorMessage();
}

TEST_F(ScriptedFtp, ProgressMovesTheDeadline) {
    ASSERT_TRUE(client.Connect());
    client.TimeoutMs = 250;
    server.listing = std::string(60, 'n');
    server.dripBytes = 6;
    server.dripMs = 80; // 800 ms in all, never 250 ms without data
    client.LocalFileName = (temp / "filelist.$$$").string();
    int reports = 0;
    client.OnProgress = [&](int64_t, bool&) { ++reports; };
    std::string log;
    client.OnDisplay = [&](const std::string& line) { log += line + "\n"; };
    ASSERT_TRUE(client.Ls()) << client.ErrorMessage() << log;
    EXPECT_EQ(ReadBytes(temp / "filelist.$$$"), server.listing);
    EXPECT_GE(reports, 10);
}

// Progress keeps a transfer alive, but a listing that drips without end is cut at its own limit.
TEST_F(ScriptedFtp, DrippingListingEndsAtItsTimeLimit) {
    ASSERT_TRUE(client.Connect());
    client.TimeoutMs = 250;
    client.Config.ListingTimeLimitMs = 400;
    server.listing = std::string(1000, 'n');
    server.dripBytes = 1;
    server.dripMs = 20; // 20 s in all
    client.LocalFileName = (temp / "filelist.$$$").string();
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(client.Ls());
    EXPECT_LT(timer.elapsed(), 3000);
    EXPECT_EQ(client.StatusCode(), 426);
}

TEST_F(ScriptedFtp, ProgressAbortFailsTheUpload) {
    ASSERT_TRUE(client.Connect());
    std::vector<std::string> notes;
    client.OnDisplay = [&](const std::string& line) { notes.push_back(line); };
    client.OnProgress = [&](int64_t count, bool& abort) { abort = count > 20000; };
    EXPECT_FALSE(Upload(Pattern(200000)));
    EXPECT_NE(std::find(notes.begin(), notes.end(), "! Abort requested"), notes.end());
    EXPECT_EQ(done.back(), std::make_pair(ftpPutAsync, 426));
}

TEST_F(ScriptedFtp, MissingLocalFileFailsWith426) {
    ASSERT_TRUE(client.Connect());
    client.LocalFileName = (temp / "fehlt.jpg").string();
    client.HostFileName = "fehlt.jpg";
    EXPECT_FALSE(client.Put());
    EXPECT_EQ(client.ErrorMessage(), "426 Unable to open local file " + client.LocalFileName);
    EXPECT_EQ(CountDone(ftpPutAsync), 1u);
    EXPECT_EQ(done.back().second, 426);
}

TEST_F(ScriptedFtp, ServerClosingWithoutReplyFailsTheRequest) {
    ASSERT_TRUE(client.Connect());
    server.replies["CWD"] = "";
    server.replies["QUIT"] = "";
    client.HostDirName = "album";
    client.CwdAsync();
    // The scripted server closes its side when it sees a command it answers with an empty QUIT.
    ASSERT_TRUE(RunUntil([&] { return server.transcript.size() == 3; }));
    client.Abort();
    EXPECT_EQ(client.State(), ftpReady);
    Drain();
    EXPECT_EQ(CountDone(ftpCwdAsync), 0u) << "an aborted request reports nothing";
}
