#pragma once
#include <QObject>
#include <QSocketNotifier>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

struct ssl_session_st;

namespace vistrel {

class ESocketException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum TSocketState {
    wsInvalidState,
    wsOpened,
    wsBound,
    wsConnecting,
    wsConnected,
    wsAccepting,
    wsListening,
    wsClosed,
};

enum TSocketLingerOnOff { wsLingerOff, wsLingerOn, wsLingerNoSet };

enum TSocketOption : unsigned {
    wsoNoReceiveLoop = 1u << 0, // one OnDataAvailable per readiness notification
    wsoTcpNoDelay = 1u << 1,    // switch off Nagle's send delay
};
using TSocketOptions = unsigned;

struct DnsLookupShared;
class TTlsLayer;
using TTlsSession = std::shared_ptr<ssl_session_st>;

// An asynchronous TCP socket on the Qt event loop. Nothing blocks on the network: calls start an
// operation and events report its outcome. Every event is delivered from the event loop, never
// from inside the call that caused it; the one exception is DnsLookup of a dotted address, whose
// OnDnsLookupDone fires before DnsLookup returns (the FTP client relies on that).
//
// Readiness comes from QSocketNotifiers over a non-blocking BSD socket. The notifications are
// level-triggered, so the WinSock-style events are derived from them: a readable socket with bytes
// waiting is a read event, a readable socket at end of stream is the close event, writability of a
// connecting socket is the connect event. Addresses are kept as text so IPv6 only touches the
// resolution helpers.
class TAsyncSocket : public QObject {
public:
    explicit TAsyncSocket(QObject* parent = nullptr);
    ~TAsyncSocket() override;
    TAsyncSocket(const TAsyncSocket&) = delete;
    TAsyncSocket& operator=(const TAsyncSocket&) = delete;

    // Properties. Addr and Port may only change while the socket is closed.
    const std::string& Addr() const { return addr_; }
    void SetAddr(const std::string& value);
    const std::string& Port() const { return port_; }
    void SetPort(const std::string& value);
    const std::string& Proto() const { return proto_; }
    void SetProto(const std::string& value) { proto_ = value; }
    const std::string& LocalAddr() const { return localAddr_; }
    void SetLocalAddr(const std::string& value) { localAddr_ = value; }
    const std::string& LocalPort() const { return localPort_; }
    void SetLocalPort(const std::string& value) { localPort_ = value; }
    const std::string& DnsResult() const { return dnsResult_; }
    TSocketState State() const { return state_; }
    int LastError() const { return lastError_; }
    bool AllSent() const { return sendBuffer_.empty(); }

    TSocketOptions ComponentOptions = 0;
    TSocketLingerOnOff LingerOnOff = wsLingerOn;
    int LingerTimeout = 0;

    // Events; the int is a socket error number (0 = none), for OnSendData the bytes sent.
    std::function<void(int error)> OnDnsLookupDone;
    std::function<void(int error)> OnSessionConnected;
    std::function<void(int error)> OnSessionAvailable;
    std::function<void(int error)> OnDataAvailable;
    std::function<void(int error)> OnDataSent;
    std::function<void(int bytes)> OnSendData;
    std::function<void(int error)> OnSessionClosed;
    std::function<void(TSocketState oldState, TSocketState newState)> OnChangeState;
    // Called instead of raising ESocketException when set; LastError() holds the number.
    std::function<void(const std::string& message)> OnError;
    std::function<void(const std::exception& error, bool& canClose)> OnBackgroundException;

    void DnsLookup(const std::string& host);
    void CancelDnsLookup();
    void Connect();
    void Listen();
    int Accept();
    void Dup(int handle);
    bool GetSockName(std::string& address, int& port) const;
    bool GetPeerName(std::string& address, int& port) const;
    int Send(const void* data, int length);
    int SendStr(const std::string& text);
    int Receive(void* buffer, int length);
    void Close();
    void CloseDelayed();
    void Abort();
    // Applies LingerOnOff/LingerTimeout to the open connection now.
    void SetLingerOption();

    // TLS on the open connection: from StartTls on, everything sent is encrypted and Receive gives
    // decrypted bytes. OnTlsDone reports the end of the handshake (0, or an error number; the
    // reason is in Tls()->Error()). `offer` is a session to resume.
    void StartTls(const std::string& host, const TTlsSession& offer = nullptr);
    // Leaves received bytes where they are until StartTls: they belong to the handshake.
    void HoldInput();
    const TTlsLayer* Tls() const { return tls_.get(); }
    // The session this connection could offer to a new one (while it is open).
    TTlsSession TlsSession() const;
    // The tickets the server sent on this TLS connection that nobody took yet: while it is open,
    // and after it has closed (they arrive during its life), until the next connection.
    std::vector<TTlsSession> TakeTlsTickets();
    std::function<void(int error)> OnTlsDone;

private:
    friend struct DnsLookupShared;

    void ChangeState(TSocketState newState);
    void RestoreDefaults();
    void AttachHandle(int fd);
    void CloseHandle();
    void CloseInternal(bool gracefully);
    void RaiseSessionClosed(int error);
    void ReportError(int error, const char* function);
    void ReportMessage(const std::string& message);
    void PostEvent(std::function<void()> handler);
    void Guarded(const std::function<void()>& handler);
    void HandleBackgroundException(const std::exception& error);

    void HandleReadReady();
    void HandleWriteReady();
    void HandleConnectEvent(int error);
    void HandleCloseEvent(int error);
    void HandleWriteEvent();
    void ReceiveLoop(bool limitToOneRound);
    void TryToSend();
    void QueueRaw(const char* data, int length);
    void PullRaw();
    void FlushTls();
    void DriveHandshake();
    void HandleTlsReadReady();
    void FinishDelayedClose();
    bool HasPendingInput() const;
    void CreateSocket(TSocketState first);
    bool BindTo(const std::string& address, const std::string& port, const char* prefix);
    void DeliverDnsResult(uint64_t lookupId, int error, std::vector<std::string> addresses);

    std::string addr_;
    std::string port_;
    std::string proto_ = "tcp";
    std::string localAddr_ = "0.0.0.0";
    std::string localPort_ = "0";
    std::string dnsResult_;
    TSocketState state_ = wsClosed;
    int lastError_ = 0;
    int64_t readCount_ = 0;
    int fd_ = -1;
    // Counts connections, so queued events of a closed connection find it gone when they run.
    uint64_t connection_ = 0;
    bool closedRaised_ = false;
    bool destroying_ = false;
    bool writeEventPosted_ = false;
    bool lookupPending_ = false;
    bool receiveFailed_ = false;
    std::deque<std::string> sendBuffer_;
    bool closeWhenSent_ = false; // a delayed close waits for the queue to empty
    bool lingerForPeer_ = false; // ... and then, for TLS, for the peer's close
    bool awaitingPeerClose_ = false;
    std::unique_ptr<TTlsLayer> tls_;
    std::vector<TTlsSession> closedTickets_; // those of the last TLS connection, kept at its close
    bool tlsHandshaking_ = false;
    bool rawEof_ = false;        // the peer closed its side; the TLS layer may still hold data
    bool tlsPeerClosed_ = false; // the peer's close alert (or a broken record) was read
    bool inputHeld_ = false;
    QSocketNotifier readNotifier_{QSocketNotifier::Read};
    QSocketNotifier writeNotifier_{QSocketNotifier::Write};
    std::shared_ptr<DnsLookupShared> lookup_;
    uint64_t lookupId_ = 0;
};

// True for a dotted IPv4 address as DnsLookup accepts it: four decimal numbers of at most 255,
// blanks around allowed. normalized receives "a.b.c.d".
bool ParseDottedAddress(const std::string& text, std::string& normalized);

} // namespace vistrel
