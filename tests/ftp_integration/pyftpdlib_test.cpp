// The FTP client against a real server: Debian's pyftpdlib on 127.0.0.1, active and passive mode.
#include "net/run_until.h"
#include "publishing/ftp_client.h"
#include "support/test_support.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

using namespace vistrel;
using vistrel::testing::ReadBytes;
using vistrel::testing::RunUntil;
using vistrel::testing::TempDir;
using vistrel::testing::WriteBytes;

namespace {

struct Done {
    TFtpRequest request;
    int error;
    bool operator==(const Done&) const = default;
};

class PyFtpdlib : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        std::filesystem::create_directories(root_);
        server_.setProgram("/usr/bin/python3");
        server_.setArguments({VISTREL_SOURCE_DIR "/tests/ftp_integration/ftp_server.py",
                              QString::fromStdString(root_.string())});
        server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server_.start();
        ASSERT_TRUE(server_.waitForStarted(5000));
        ASSERT_TRUE(RunUntil([&] { return server_.canReadLine(); }, 10000)) << "pyftpdlib did not start";
        port_ = server_.readLine().trimmed().toStdString();
        client_.Config.HostName = "127.0.0.1";
        client_.Config.Port = port_;
        client_.Config.UserName = "alice";
        client_.Config.PassWord = "secret";
        client_.Timeout = 15;
        client_.SetPassive(GetParam());
        client_.OnRequestDone = [this](TFtpRequest request, int error) { done_.push_back({request, error}); };
        client_.OnDisplay = [this](const std::string& line) { protocol_ += line + "\n"; };
    }

    void TearDown() override {
        if (server_.state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(server_.processId()), SIGCONT);
            server_.kill();
            server_.waitForFinished(5000);
        }
    }

    bool PutFile(const std::string& name, const std::string& bytes) {
        WriteBytes(local_ / name, bytes);
        client_.LocalFileName = (local_ / name).string();
        client_.HostFileName = name;
        return client_.Put();
    }

    TempDir temp_;
    std::filesystem::path root_ = temp_ / "server";
    std::filesystem::path local_ = temp_.path();
    QProcess server_;
    std::string port_;
    TFtpClient client_;
    std::vector<Done> done_;
    std::string protocol_;
};

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131) ^ (i >> 11));
    return bytes;
}

} // namespace

TEST_P(PyFtpdlib, WholeSession) {
    ASSERT_TRUE(client_.Connect()) << client_.ErrorMessage();
    EXPECT_EQ(done_.back(), (Done{ftpConnectAsync, 0}));
    ASSERT_TRUE(client_.TypeSet());

    client_.HostFileName = "album";
    ASSERT_TRUE(client_.Mkd());
    EXPECT_EQ(client_.DirResult(), "/album");
    EXPECT_FALSE(client_.Mkd()) << "the folder exists";
    EXPECT_EQ(client_.StatusCode(), 550);
    EXPECT_EQ(done_.back(), (Done{ftpMkdAsync, 550}));

    client_.HostDirName = "album";
    ASSERT_TRUE(client_.Cwd());
    const std::string big = Pattern(20 * 1024 * 1024);
    ASSERT_TRUE(PutFile("leer.jpg", ""));
    ASSERT_TRUE(PutFile("klein.html", "<html>Hallo</html>\r\n"));
    ASSERT_TRUE(PutFile("gross.jpg", big)) << client_.ErrorMessage() << " " << client_.ByteCount() << "\n"
                                           << protocol_;
    EXPECT_EQ(done_.back(), (Done{ftpPutAsync, 0}));
    EXPECT_EQ(ReadBytes(root_ / "album" / "leer.jpg"), "");
    EXPECT_EQ(ReadBytes(root_ / "album" / "klein.html"), "<html>Hallo</html>\r\n");
    EXPECT_TRUE(ReadBytes(root_ / "album" / "gross.jpg") == big);

    client_.LocalFileName = (local_ / "filelist.$$$").string();
    client_.HostFileName = "";
    ASSERT_TRUE(client_.Ls()) << client_.ErrorMessage() << "\n" << protocol_;
    std::string listing = ReadBytes(local_ / "filelist.$$$");
    EXPECT_NE(listing.find("leer.jpg\r\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("klein.html\r\n"), std::string::npos);
    EXPECT_NE(listing.find("gross.jpg\r\n"), std::string::npos);

    for (const char* name : {"leer.jpg", "klein.html", "gross.jpg"}) {
        client_.HostFileName = name;
        EXPECT_TRUE(client_.Dele()) << name;
    }
    client_.HostFileName = "fehlt.jpg";
    EXPECT_FALSE(client_.Dele());
    EXPECT_EQ(client_.StatusCode(), 550);

    ASSERT_TRUE(client_.CDup());
    client_.HostFileName = "album";
    ASSERT_TRUE(client_.Rmd());
    EXPECT_FALSE(std::filesystem::exists(root_ / "album"));
    ASSERT_TRUE(client_.Quit());
    EXPECT_EQ(done_.back(), (Done{ftpQuitAsync, 0}));
    EXPECT_FALSE(client_.Connected());
}

TEST_P(PyFtpdlib, WrongPasswordFailsTheConnectWith530) {
    client_.Config.PassWord = "falsch";
    EXPECT_FALSE(client_.Connect());
    ASSERT_FALSE(done_.empty());
    EXPECT_EQ(done_.back(), (Done{ftpConnectAsync, 530}));
    EXPECT_EQ(client_.StatusCode(), 530);
}

TEST_P(PyFtpdlib, StalledServerTimesOut) {
    ASSERT_TRUE(client_.Connect());
    size_t events = done_.size();
    ::kill(static_cast<pid_t>(server_.processId()), SIGSTOP);
    client_.TimeoutMs = 300;
    client_.HostDirName = "/";
    EXPECT_FALSE(client_.Cwd());
    EXPECT_EQ(client_.ErrorMessage(), "426 Timeout");
    EXPECT_EQ(client_.StatusCode(), 426);
    EXPECT_FALSE(client_.Connected());
    vistrel::testing::Drain();
    EXPECT_EQ(done_.size(), events) << "a timed-out operation raises no OnRequestDone";
}

TEST_P(PyFtpdlib, ServerGoneDuringTransferFailsThePut) {
    ASSERT_TRUE(client_.Connect());
    client_.OnProgress = [this](int64_t count, bool&) {
        if (count > 2 * 1024 * 1024 && server_.state() != QProcess::NotRunning) server_.kill();
    };
    EXPECT_FALSE(PutFile("gross.jpg", Pattern(16 * 1024 * 1024)));
    ASSERT_FALSE(done_.empty());
    EXPECT_EQ(done_.back().request, ftpPutAsync);
    EXPECT_NE(done_.back().error, 0);
    EXPECT_FALSE(client_.Connected());
}

TEST_P(PyFtpdlib, QuitAfterTheSessionIsGoneReturnsAtOnce) {
    ASSERT_TRUE(client_.Connect());
    client_.Abort();
    client_.Timeout = 120;
    EXPECT_FALSE(client_.Quit());
    EXPECT_EQ(client_.ErrorMessage(), "QUIT: not connected");
    vistrel::testing::Drain();
    EXPECT_EQ(done_.back(), (Done{ftpQuitAsync, 500}));
}

INSTANTIATE_TEST_SUITE_P(Modes, PyFtpdlib, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Passive" : "Active"; });

TEST(FtpConnect, RefusedConnectionCarriesTheSocketError) {
    TAsyncSocket probe;
    probe.SetAddr("127.0.0.1");
    probe.SetPort("0");
    probe.Listen();
    std::string freePort = probe.LocalPort();
    probe.Close();

    TFtpClient client;
    client.Config.HostName = "127.0.0.1";
    client.Config.Port = freePort;
    client.Config.UserName = "alice";
    client.Config.PassWord = "secret";
    std::vector<Done> done;
    client.OnRequestDone = [&](TFtpRequest request, int error) { done.push_back({request, error}); };
    EXPECT_FALSE(client.Connect());
    vistrel::testing::Drain();
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0], (Done{ftpConnectAsync, 10061}));
    EXPECT_EQ(client.LastResponse(), "500 Connection refused (Winsock error #10061)");
    EXPECT_EQ(client.State(), ftpReady);
}
