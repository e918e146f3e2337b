// A TLS peer that sends its close alert and then waits for ours without closing the connection
// (vsftpd after a listing): the socket must end the connection there and answer the alert.
#include "net/async_socket.h"
#include "net/run_until.h"
#include "support/test_support.h"

#include <QProcess>

#include <gtest/gtest.h>

using namespace vistrel;
using vistrel::testing::RunUntil;
using vistrel::testing::TempDir;

TEST(TlsPeerClose, CloseAlertWithoutTheConnectionClosingEndsItAndIsAnswered) {
    TempDir temp;
    QProcess peer;
    peer.setProgram(QStringLiteral("/usr/bin/python3"));
    peer.setArguments({QStringLiteral(VISTREL_SOURCE_DIR "/tests/ftp_integration/tls_close_server.py"),
                       QString::fromStdString((temp / "cert.pem").string())});
    peer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    peer.start();
    ASSERT_TRUE(peer.waitForStarted(5000));
    ASSERT_TRUE(RunUntil([&] { return peer.canReadLine(); }, 15000)) << "the peer did not start";
    const std::string port = peer.readLine().trimmed().toStdString();

    TAsyncSocket socket;
    std::string received;
    int closed = 0;
    bool handshakeDone = false;
    socket.OnSessionConnected = [&](int error) {
        ASSERT_EQ(error, 0);
        socket.StartTls("127.0.0.1");
    };
    socket.OnTlsDone = [&](int error) { handshakeDone = error == 0; };
    socket.OnDataAvailable = [&](int) {
        char buffer[256];
        int count = socket.Receive(buffer, sizeof buffer);
        if (count > 0) received.append(buffer, static_cast<size_t>(count));
    };
    socket.OnSessionClosed = [&](int) { ++closed; };
    socket.SetAddr("127.0.0.1");
    socket.SetPort(port);
    socket.Connect();
    ASSERT_TRUE(RunUntil([&] { return closed > 0; }, 5000)) << "the connection stayed open";
    EXPECT_TRUE(handshakeDone);
    EXPECT_EQ(received, "listing");
    EXPECT_EQ(closed, 1);
    ASSERT_TRUE(RunUntil([&] { return peer.canReadLine(); }, 5000));
    EXPECT_EQ(peer.readLine().trimmed().toStdString(), "answered");
    peer.waitForFinished(5000);
}
