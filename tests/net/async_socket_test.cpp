#include "net/async_socket.h"
#include "net/run_until.h"
#include "net/socket_errors.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace vistrel;
using vistrel::testing::Drain;
using vistrel::testing::RunUntil;

namespace {

// A listening socket on loopback, a client connected to it and the server's side of the connection.
struct LoopbackPair {
    TAsyncSocket listener;
    TAsyncSocket client;
    TAsyncSocket server;
    int clientConnected = -1;

    LoopbackPair() {
        listener.SetAddr("127.0.0.1");
        listener.SetPort("0");
        listener.OnSessionAvailable = [this](int) { server.Dup(listener.Accept()); };
        listener.Listen();
        client.SetAddr("127.0.0.1");
        client.SetPort(listener.LocalPort());
        client.OnSessionConnected = [this](int error) { clientConnected = error; };
        client.Connect();
        EXPECT_TRUE(RunUntil([&] { return clientConnected == 0 && server.State() == wsConnected; }));
    }
};

void Collect(TAsyncSocket& socket, std::string& into) {
    char buffer[4096];
    int count = socket.Receive(buffer, sizeof buffer);
    if (count > 0) into.append(buffer, static_cast<size_t>(count));
}

} // namespace

TEST(SocketErrors, TextsAndErrnoMapping) {
    EXPECT_EQ(SocketErrorDesc(0), "No Error");
    EXPECT_EQ(SocketErrorDesc(10061), "Connection refused");
    EXPECT_EQ(SocketErrorDesc(11001), "Host not found");
    EXPECT_EQ(SocketErrorDesc(12345), "Not a WinSock error");
    EXPECT_EQ(SocketErrorFromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(SocketErrorFromErrno(EAGAIN), 10035);
    EXPECT_EQ(SocketErrorFromErrno(ENOTCONN), 10057);
    EXPECT_EQ(SocketErrorFromErrno(EPIPE), 10054);
}

TEST(DottedAddress, ParsesAsDnsLookupAcceptsIt) {
    struct Row {
        const char* name;
        const char* text;
        bool valid;
        const char* normalized;
    };
    const Row rows[] = {
        {"plain", "192.168.1.20", true, "192.168.1.20"},
        {"blanks around", "  10.0.0.1 ", true, "10.0.0.1"},
        {"leading zeros", "010.001.000.009", true, "10.1.0.9"},
        {"broadcast", "255.255.255.255", true, "255.255.255.255"},
        {"byte too large", "256.1.1.1", false, ""},
        {"three parts", "1.2.3", false, ""},
        {"five parts", "1.2.3.4.5", false, ""},
        {"name", "localhost", false, ""},
        {"empty part", "1..2.3", false, ""},
        {"four digits", "1.2.3.0001", false, ""},
    };
    for (const auto& row : rows) {
        std::string normalized;
        EXPECT_EQ(ParseDottedAddress(row.text, normalized), row.valid) << row.name;
        if (row.valid) {
            EXPECT_EQ(normalized, row.normalized) << row.name;
        }
    }
}

TEST(AsyncSocket, DnsLookupOfDottedAddressReportsBeforeReturning) {
    TAsyncSocket socket;
    int result = -1;
    socket.OnDnsLookupDone = [&](int error) { result = error; };
    socket.DnsLookup("192.168.1.20");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(socket.DnsResult(), "192.168.1.20");
}

TEST(AsyncSocket, DnsLookupOfNameReportsFromTheLoop) {
    TAsyncSocket socket;
    int result = -1;
    socket.OnDnsLookupDone = [&](int error) { result = error; };
    socket.DnsLookup("localhost");
    EXPECT_EQ(result, -1);
    ASSERT_TRUE(RunUntil([&] { return result != -1; }));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(socket.DnsResult(), "127.0.0.1");
}

TEST(AsyncSocket, CancelledLookupReports10004AndNoResult) {
    TAsyncSocket socket;
    std::vector<int> results;
    socket.OnDnsLookupDone = [&](int error) { results.push_back(error); };
    socket.DnsLookup("localhost");
    socket.CancelDnsLookup();
    ASSERT_TRUE(RunUntil([&] { return !results.empty(); }));
    Drain();
    EXPECT_EQ(results, std::vector<int>{10004});
}

TEST(AsyncSocket, EmptyHostIsRefused) {
    TAsyncSocket socket;
    int result = -1;
    socket.OnDnsLookupDone = [&](int error) { result = error; };
    try {
        socket.DnsLookup("  ");
        FAIL() << "no exception";
    } catch (const ESocketException& e) {
        EXPECT_STREQ(e.what(), "DNS lookup: invalid host name.");
    }
    ASSERT_TRUE(RunUntil([&] { return result != -1; }));
    EXPECT_EQ(result, 10022);
}

TEST(AsyncSocket, SendOnClosedSocketGivesMinusOneAnd10057) {
    TAsyncSocket socket;
    std::string reported;
    socket.OnError = [&](const std::string& message) { reported = message; };
    EXPECT_EQ(socket.SendStr("x"), -1);
    EXPECT_EQ(socket.LastError(), 10057);
    EXPECT_EQ(reported, "Error 10057 in function Send\r\nSocket is not connected");

    TAsyncSocket strict;
    EXPECT_THROW(strict.SendStr("x"), ESocketException);
    EXPECT_EQ(strict.SendStr(""), 0);
}

TEST(AsyncSocket, ConnectChecksItsSettings) {
    TAsyncSocket socket;
    auto message = [&] {
        try {
            socket.Connect();
        } catch (const ESocketException& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    EXPECT_EQ(message(), "Connect: No Port Specified");
    socket.SetPort("21");
    EXPECT_EQ(message(), "Connect: No IP Address Specified");
    socket.SetAddr("300.1.1.1");
    EXPECT_EQ(message(), "connect: SocketResolveHost: '300.1.1.1' Invalid IP address.");
    socket.SetAddr("127.0.0.1");
    socket.SetPort(std::string(32, '1'));
    EXPECT_EQ(message(), "connect: SocketResolvePort: Invalid Port.");
    EXPECT_EQ(socket.State(), wsClosed);
}

TEST(AsyncSocket, DataSentComesFromTheLoopAndDataArrives) {
    LoopbackPair pair;
    int sentEvents = 0;
    pair.client.OnDataSent = [&](int error) {
        EXPECT_EQ(error, 0);
        ++sentEvents;
    };
    std::string received;
    pair.server.OnDataAvailable = [&](int) { Collect(pair.server, received); };
    EXPECT_EQ(pair.client.SendStr("hello"), 5);
    EXPECT_EQ(sentEvents, 0);
    ASSERT_TRUE(RunUntil([&] { return sentEvents == 1 && received == "hello"; }));
}

TEST(AsyncSocket, LargeSendArrivesWholeAndInOrder) {
    LoopbackPair pair;
    std::string payload(3 * 1024 * 1024, '\0');
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<char>(i * 7 + i / 1460);
    bool sent = false;
    pair.client.OnDataSent = [&](int) { sent = true; };
    std::string received;
    pair.server.OnDataAvailable = [&](int) { Collect(pair.server, received); };
    pair.client.Send(payload.data(), static_cast<int>(payload.size()));
    ASSERT_TRUE(RunUntil([&] { return sent && received.size() == payload.size(); }, 20000));
    EXPECT_TRUE(received == payload);
}

TEST(AsyncSocket, PeerCloseDeliversAllDataBeforeOneSessionClosed) {
    LoopbackPair pair;
    std::string received;
    std::vector<std::string> events;
    pair.client.ComponentOptions = wsoNoReceiveLoop;
    pair.client.OnDataAvailable = [&](int) {
        char buffer[7];
        int count = pair.client.Receive(buffer, sizeof buffer);
        if (count > 0) received.append(buffer, static_cast<size_t>(count));
        events.push_back("data");
    };
    pair.client.OnSessionClosed = [&](int error) { events.push_back("closed " + std::to_string(error)); };
    std::string payload(5000, 'z');
    pair.server.SendStr(payload);
    pair.server.CloseDelayed();
    ASSERT_TRUE(RunUntil([&] { return pair.client.State() == wsClosed; }));
    Drain();
    EXPECT_EQ(received, payload);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(), "closed 0");
    EXPECT_EQ(std::count(events.begin(), events.end(), "closed 0"), 1);
    EXPECT_EQ(pair.client.Addr(), "");
    EXPECT_EQ(pair.client.Port(), "");
    EXPECT_THROW(pair.client.Connect(), ESocketException);
}

TEST(AsyncSocket, OwnCloseRaisesSessionClosedOnce) {
    LoopbackPair pair;
    int closed = 0;
    pair.client.OnSessionClosed = [&](int) { ++closed; };
    pair.client.Close();
    pair.client.Close();
    Drain();
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(pair.client.State(), wsClosed);
    EXPECT_TRUE(RunUntil([&] { return pair.server.State() == wsClosed; }));
}

TEST(AsyncSocket, SendErrorClosesOnceWithTheError) {
    LoopbackPair pair;
    std::vector<int> closed;
    pair.client.OnSessionClosed = [&](int error) { closed.push_back(error); };
    pair.server.Abort(); // hard close: the client's next sends hit a reset connection
    std::string block(64 * 1024, 'a');
    ASSERT_TRUE(RunUntil([&] {
        if (pair.client.State() == wsConnected) pair.client.SendStr(block);
        return pair.client.State() == wsClosed;
    }));
    Drain();
    ASSERT_EQ(closed.size(), 1u);
}

TEST(AsyncSocket, RefusedConnectionReports10061) {
    TAsyncSocket probe;
    probe.SetAddr("127.0.0.1");
    probe.SetPort("0");
    probe.Listen();
    std::string freePort = probe.LocalPort();
    probe.Close();

    TAsyncSocket socket;
    int connected = -1;
    socket.OnSessionConnected = [&](int error) { connected = error; };
    socket.SetAddr("127.0.0.1");
    socket.SetPort(freePort);
    socket.Connect();
    EXPECT_EQ(connected, -1);
    ASSERT_TRUE(RunUntil([&] { return connected != -1; }));
    EXPECT_EQ(connected, 10061);
    EXPECT_TRUE(RunUntil([&] { return socket.State() == wsClosed; }));
}

TEST(AsyncSocket, ExceptionInHandlerAbortsTheSocket) {
    LoopbackPair pair;
    std::string caught;
    pair.client.OnDataAvailable = [&](int) { throw std::runtime_error("bad reply"); };
    pair.client.OnBackgroundException = [&](const std::exception& e, bool& canClose) {
        caught = e.what();
        EXPECT_TRUE(canClose);
    };
    pair.server.SendStr("x");
    ASSERT_TRUE(RunUntil([&] { return pair.client.State() == wsClosed; }));
    EXPECT_EQ(caught, "bad reply");
}

TEST(AsyncSocket, ListenOnPortZeroTellsTheChosenPort) {
    TAsyncSocket socket;
    socket.SetAddr("127.0.0.1");
    socket.SetPort("0");
    socket.Listen();
    std::string address;
    int port = 0;
    ASSERT_TRUE(socket.GetSockName(address, port));
    EXPECT_EQ(address, "127.0.0.1");
    EXPECT_GT(port, 0);
    EXPECT_EQ(socket.LocalPort(), std::to_string(port));
    EXPECT_EQ(socket.State(), wsListening);
    EXPECT_THROW(socket.SetPort("21"), ESocketException);
}
