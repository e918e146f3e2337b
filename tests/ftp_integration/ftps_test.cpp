// The FTP client with explicit TLS against pyftpdlib's TLS handler and a certificate made by the
// test server: login, uploads and listings encrypted in both modes, refused and accepted
// certificates, and "encrypted only" against a server without TLS.
#include "common/cp1252.h"
#include "net/run_until.h"
#include "publishing/ftp_client.h"
#include "publishing/publish_job.h"
#include "support/test_support.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace vistrel;
using vistrel::testing::ReadBytes;
using vistrel::testing::RunUntil;
using vistrel::testing::TempDir;
using vistrel::testing::WriteBytes;

namespace {

class FtpsServer : public ::testing::Test {
protected:
    void Start(const QString& script, QStringList extra = {}) {
        std::filesystem::create_directories(root_);
        server_.setProgram(QStringLiteral("/usr/bin/python3"));
        QStringList arguments{QStringLiteral(VISTREL_SOURCE_DIR "/tests/ftp_integration/") + script,
                              QString::fromStdString(root_.string())};
        server_.setArguments(arguments + extra);
        server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server_.start();
        ASSERT_TRUE(server_.waitForStarted(5000));
        ASSERT_TRUE(RunUntil([&] { return server_.canReadLine(); }, 15000)) << "the server did not start";
        client_.HostName = "127.0.0.1";
        client_.Port = server_.readLine().trimmed().toStdString();
        client_.UserName = "alice";
        client_.PassWord = "secret";
        client_.Timeout = 15;
        client_.UseTls = true;
        client_.OnDisplay = [this](const std::string& line) { protocol_.push_back(line); };
    }
    void StartTls(bool requireTls = false, const QStringList& more = {}) {
        QStringList extra{QString::fromStdString((temp_ / "cert.pem").string())};
        if (requireTls) extra << QStringLiteral("--require-tls");
        extra << more;
        Start(QStringLiteral("tls_ftp_server.py"), extra);
    }

    void TearDown() override {
        if (server_.state() != QProcess::NotRunning) {
            server_.kill();
            server_.waitForFinished(5000);
        }
    }

    bool PutFile(const std::string& name, const std::string& bytes) {
        WriteBytes(temp_ / name, bytes);
        client_.LocalFileName = (temp_ / name).string();
        client_.HostFileName = name;
        return client_.Put();
    }

    bool Logged(const std::string& part) const {
        for (const std::string& line : protocol_)
            if (line.find(part) != std::string::npos) return true;
        return false;
    }

    // Trusts the self-signed certificate by answering the question.
    void TrustAnything() {
        client_.OnUntrustedCertificate = [this](const std::string& fingerprint, const std::string&) {
            asked_.push_back(fingerprint);
            return true;
        };
    }

    TempDir temp_;
    std::filesystem::path root_ = temp_ / "server";
    QProcess server_;
    TFtpClient client_;
    std::vector<std::string> protocol_;
    std::vector<std::string> asked_;
};

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131) ^ (i >> 11));
    return bytes;
}

// The server refuses anything unencrypted and, like vsftpd, every data connection that does not
// resume a TLS session of the login: with TLS 1.3 each one needs a ticket of its own.
TEST_F(FtpsServer, UploadsAndListsEncryptedInBothModes) {
    StartTls(true, {QStringLiteral("--require-reuse")});
    TrustAnything();
    ASSERT_TRUE(client_.Connect()) << client_.ErrorMessage();
    EXPECT_TRUE(client_.Encrypted());
    EXPECT_TRUE(client_.DataEncrypted());
    ASSERT_EQ(asked_.size(), 1u);
    EXPECT_EQ(asked_[0].size(), 64u);
    ASSERT_TRUE(client_.TypeSet());
    for (bool passive : {true, false}) {
        client_.SetPassive(passive);
        const std::string name = passive ? "passive.bin" : "active.bin";
        const std::string bytes = Pattern(300000);
        ASSERT_TRUE(PutFile(name, bytes)) << client_.ErrorMessage();
        const std::string stored = ReadBytes(root_ / name);
        EXPECT_TRUE(stored == bytes) << name << ": " << stored.size() << " of " << bytes.size() << " bytes";
        ASSERT_TRUE(PutFile("empty.txt", "")) << client_.ErrorMessage();
        EXPECT_EQ(ReadBytes(root_ / "empty.txt"), "");
        client_.ListCommand = "MLSD";
        client_.LocalFileName = (temp_ / "listing.txt").string();
        client_.HostFileName.clear();
        ASSERT_TRUE(client_.Ls()) << client_.ErrorMessage();
        EXPECT_NE(ReadBytes(temp_ / "listing.txt").find(name), std::string::npos);
    }
    EXPECT_TRUE(client_.Quit());
}

// Both orders of the data connection's handshake and the 125/150 reply: after the reply (what the
// client does) against pyftpdlib as Debian ships it and against a server that also takes a
// handshake before the command; before the reply (DataTlsFirst) against both as well.
TEST_F(FtpsServer, BothOrdersOfHandshakeAndReplyWork) {
    for (bool fixedServer : {false, true}) {
        for (bool handshakeFirst : {false, true}) {
            if (server_.state() != QProcess::NotRunning) {
                server_.kill();
                server_.waitForFinished(5000);
            }
            client_.Abort();
            fixedServer ? StartTls(false, {QStringLiteral("--fixed-data-handler")}) : StartTls();
            TrustAnything();
            client_.DataTlsFirst = handshakeFirst;
            client_.SetPassive(true);
            ASSERT_TRUE(client_.Connect()) << client_.ErrorMessage();
            const std::string name = handshakeFirst ? "early.bin" : "late.bin";
            ASSERT_TRUE(PutFile(name, Pattern(70000))) << client_.ErrorMessage();
            EXPECT_TRUE(ReadBytes(root_ / name) == Pattern(70000)) << "fixed " << fixedServer;
            client_.ListCommand = "MLSD";
            client_.LocalFileName = (temp_ / "listing.txt").string();
            client_.HostFileName.clear();
            ASSERT_TRUE(client_.Ls()) << client_.ErrorMessage();
            EXPECT_NE(ReadBytes(temp_ / "listing.txt").find(name), std::string::npos);
        }
    }
}

TEST_F(FtpsServer, UnknownCertificateIsRefusedUnlessItsFingerprintIsTrusted) {
    StartTls();
    std::string seen;
    client_.OnUntrustedCertificate = [&](const std::string& fingerprint, const std::string&) {
        seen = fingerprint;
        return false;
    };
    EXPECT_FALSE(client_.Connect());
    EXPECT_TRUE(client_.TlsRefused());
    EXPECT_EQ(client_.UntrustedFingerprint(), seen);
    EXPECT_FALSE(client_.Connected());

    client_.TrustedFingerprint = seen;
    client_.OnUntrustedCertificate = [](const std::string&, const std::string&) -> bool {
        ADD_FAILURE() << "a trusted fingerprint asks nothing";
        return false;
    };
    ASSERT_TRUE(client_.Connect()) << client_.ErrorMessage();
    EXPECT_TRUE(client_.Encrypted());
}

TEST_F(FtpsServer, EncryptedOnlyRefusesAServerWithoutTls) {
    Start(QStringLiteral("ftp_server.py"));
    client_.RequireTls = true;
    EXPECT_FALSE(client_.Connect());
    EXPECT_TRUE(client_.TlsRefused());

    client_.RequireTls = false;
    ASSERT_TRUE(client_.Connect()) << "without the requirement the session goes on unencrypted";
    EXPECT_FALSE(client_.Encrypted());
    EXPECT_TRUE(Logged("offers no TLS"));
}

// The publish job over FTPS: the question is asked once with the fingerprint, the protocol says
// that the connection is encrypted, and a refused certificate ends with its German closing line.
class RecordingView : public PublishView {
public:
    void Log(const std::string& line) override { lines.push_back(AnsiToUtf8(line)); }
    bool TrustCertificate(const std::string& hostPort, const std::string& fingerprint,
                          const std::string&) override {
        asked.push_back(hostPort + " " + fingerprint);
        return trust;
    }
    std::vector<std::string> lines;
    std::vector<std::string> asked;
    bool trust = true;
};

class NoPrompts : public UserPrompts {
public:
    void ShowMessage(const std::string&, MessageKind) override {}
    bool AskYesNo(const std::string&) override { return true; }
    Answer AskYesNoCancel(const std::string&) override { return Answer::Yes; }
};

TEST_F(FtpsServer, PublishJobSendsEncryptedAndNamesTheRefusedCertificate) {
    StartTls(true, {QStringLiteral("--require-reuse")});
    const std::string local = (temp_ / "site").string() + "/";
    WriteBytes(local + "index.html", "<html>");
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        WriteBytes(local + "images/" + name, name);
    TPublishParams params;
    params.connection.host = "127.0.0.1";
    params.connection.port = client_.Port;
    params.connection.user = "alice";
    params.connection.password = "secret";
    params.connection.remoteRoot = "web";
    params.connection.passive = true;
    params.connection.useTls = true;
    params.plan = {local, {local, local + "images/"}};
    params.connection.checkServer = true; // a listing after each folder, uploads again after it
    params.transferListFile = temp_ / "transfer.lst";
    params.timings.startDelayMs = 0;
    params.timings.connectFailedDelayMs = 0;
    NoPrompts prompts;
    RecordingView view;
    {
        TPublishJob job(prompts, view);
        job.Prepare(params);
        EXPECT_EQ(job.Run(params).code, TPublishCode::Completed);
    }
    ASSERT_EQ(view.asked.size(), 1u);
    EXPECT_EQ(view.asked[0].rfind("127.0.0.1:" + client_.Port + " ", 0), 0u);
    EXPECT_EQ(ReadBytes(root_ / "web" / "index.html"), "<html>");
    EXPECT_EQ(ReadBytes(root_ / "web" / "images" / "c.jpg"), "c.jpg");
    EXPECT_NE(
        std::find_if(view.lines.begin(), view.lines.end(),
                     [](const std::string& l) { return l.rfind("Verbindung verschlüsselt (TLS", 0) == 0; }),
        view.lines.end());

    view.trust = false;
    TPublishJob job(prompts, view); // a new session: the certificate trusted above is not stored
    job.Prepare(params);
    TPublishResult result = job.Run(params);
    EXPECT_EQ(result.code, TPublishCode::CertificateRejected);
    EXPECT_EQ(result.detail.size(), 64u);
    EXPECT_NE(AnsiToUtf8(PublishMessage(result, "127.0.0.1", "web/")).find(result.detail), std::string::npos);
}

} // namespace
