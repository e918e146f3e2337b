#include "net/async_socket.h"

#include "common/text_utils.h"
#include "net/socket_errors.h"
#include "net/socket_resolve.h"
#include "net/tls_layer.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>

#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <netdb.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace vistrel {

namespace {
// How long a closing TLS connection waits for the peer's own close.
constexpr int kPeerCloseWaitMs = 5000;
} // namespace

struct DnsLookupShared;
std::shared_ptr<DnsLookupShared> MakeDnsLookupShared(TAsyncSocket* owner);
void DetachDnsLookupShared(DnsLookupShared& shared);

bool ParseDottedAddress(const std::string& text, std::string& normalized) {
    std::string trimmed = Trim(text);
    int parts[4] = {};
    size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (pos >= trimmed.size() || trimmed[pos] != '.') return false;
            ++pos;
        }
        size_t digits = 0;
        int value = 0;
        while (pos < trimmed.size() && std::isdigit(static_cast<unsigned char>(trimmed[pos])) && digits < 4) {
            value = value * 10 + (trimmed[pos] - '0');
            ++pos;
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255) return false;
        parts[i] = value;
    }
    if (pos != trimmed.size()) return false;
    normalized = std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." + std::to_string(parts[2]) +
                 "." + std::to_string(parts[3]);
    return true;
}

TAsyncSocket::TAsyncSocket(QObject* parent) : QObject(parent), lookup_(MakeDnsLookupShared(this)) {
    connect(&readNotifier_, &QSocketNotifier::activated, this,
            [this] { Guarded([this] { HandleReadReady(); }); });
    connect(&writeNotifier_, &QSocketNotifier::activated, this,
            [this] { Guarded([this] { HandleWriteReady(); }); });
}

TAsyncSocket::~TAsyncSocket() {
    destroying_ = true;
    DetachDnsLookupShared(*lookup_);
    if (fd_ >= 0) CloseHandle();
}

void TAsyncSocket::SetAddr(const std::string& value) {
    if (state_ != wsClosed) {
        ReportMessage("Cannot change Addr if not closed");
        return;
    }
    addr_ = Trim(value);
}

void TAsyncSocket::SetPort(const std::string& value) {
    if (state_ != wsClosed) {
        ReportMessage("Cannot change Port if not closed");
        return;
    }
    port_ = Trim(value);
}

void TAsyncSocket::ChangeState(TSocketState newState) {
    TSocketState old = state_;
    state_ = newState;
    if (old != newState && OnChangeState) OnChangeState(old, newState);
}

void TAsyncSocket::RestoreDefaults() {
    proto_ = "tcp";
    port_.clear();
    addr_.clear();
    localPort_ = "0";
    localAddr_ = "0.0.0.0";
    LingerOnOff = wsLingerOn;
    LingerTimeout = 0;
    sendBuffer_.clear();
    readCount_ = 0;
    closedRaised_ = false;
}

void TAsyncSocket::AttachHandle(int fd) {
    tls_.reset();
    tlsHandshaking_ = rawEof_ = tlsPeerClosed_ = inputHeld_ = closeWhenSent_ = lingerForPeer_ =
        awaitingPeerClose_ = false;
    fd_ = fd;
    ++connection_;
    writeEventPosted_ = false;
    readNotifier_.setSocket(fd);
    writeNotifier_.setSocket(fd);
}

TTlsSession TAsyncSocket::TlsSession() const {
    return tls_ ? tls_->ResumableSession() : nullptr;
}

std::vector<TTlsSession> TAsyncSocket::TakeTlsTickets() {
    if (tls_) return tls_->TakeTickets();
    return std::exchange(closedTickets_, {});
}

void TAsyncSocket::CloseHandle() {
    if (tls_) closedTickets_ = tls_->TakeTickets();
    tls_.reset();
    tlsHandshaking_ = rawEof_ = tlsPeerClosed_ = inputHeld_ = closeWhenSent_ = lingerForPeer_ =
        awaitingPeerClose_ = false;
    readNotifier_.setEnabled(false);
    writeNotifier_.setEnabled(false);
    ::close(fd_);
    fd_ = -1;
    ++connection_;
}

void TAsyncSocket::RaiseSessionClosed(int error) {
    if (closedRaised_ || destroying_) return;
    closedRaised_ = true;
    if (OnSessionClosed) OnSessionClosed(error);
}

// Defaults are restored before OnSessionClosed runs, so a handler may set the socket up and connect
// again without the tail of this close undoing it.
void TAsyncSocket::CloseInternal(bool gracefully) {
    if (fd_ < 0) {
        ChangeState(wsClosed);
        return;
    }
    if (gracefully) ::shutdown(fd_, SHUT_WR);
    bool raised = closedRaised_;
    CloseHandle();
    ChangeState(wsClosed);
    RestoreDefaults();
    if (!raised && !destroying_ && OnSessionClosed) OnSessionClosed(0);
}

void TAsyncSocket::Close() {
    CloseInternal(true);
}

// Closes once everything queued has gone out. A TLS connection sends its close alert first and
// then waits for the peer to close too: closing with unread bytes (a TLS peer may send session
// tickets at any time) would reset the connection and lose the tail of what was sent.
void TAsyncSocket::CloseDelayed() {
    if (tls_ && tls_->Established() && state_ == wsConnected) {
        tls_->Shutdown();
        FlushTls();
        lingerForPeer_ = true;
    }
    uint64_t connection = connection_;
    PostEvent([this, connection] {
        if (connection_ != connection) return;
        if (!sendBuffer_.empty() && state_ == wsConnected) {
            closeWhenSent_ = true;
            return;
        }
        FinishDelayedClose();
    });
}

void TAsyncSocket::FinishDelayedClose() {
    if (!lingerForPeer_ || fd_ < 0 || state_ != wsConnected) return Close();
    ::shutdown(fd_, SHUT_WR);
    awaitingPeerClose_ = true;
    readNotifier_.setEnabled(true);
    uint64_t connection = connection_;
    QTimer::singleShot(kPeerCloseWaitMs, this, [this, connection] {
        if (connection_ == connection && awaitingPeerClose_) Close();
    });
}

void TAsyncSocket::Abort() {
    CancelDnsLookup();
    sendBuffer_.clear();
    if (fd_ >= 0 && state_ == wsConnected) {
        linger hard{1, 0};
        setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }
    CloseInternal(false);
}

void TAsyncSocket::SetLingerOption() {
    if (fd_ < 0 || LingerOnOff == wsLingerNoSet) return;
    linger value{LingerOnOff == wsLingerOn ? 1 : 0, LingerTimeout};
    if (setsockopt(fd_, SOL_SOCKET, SO_LINGER, &value, sizeof value) != 0)
        ReportError(SocketErrorFromErrno(errno), "setsockopt(SO_LINGER)");
}

void TAsyncSocket::ReportError(int error, const char* function) {
    if ((error == wsa::ConnReset || error == wsa::NotConnected) && fd_ >= 0) {
        CloseHandle();
        RaiseSessionClosed(error);
        ChangeState(wsClosed);
    }
    lastError_ = error;
    std::string text =
        "Error " + std::to_string(error) + " in function " + function + "\r\n" + SocketErrorDesc(error);
    if (OnError) {
        OnError(text);
        return;
    }
    throw ESocketException(text);
}

void TAsyncSocket::ReportMessage(const std::string& message) {
    if (OnError) {
        OnError(message);
        return;
    }
    throw ESocketException(message);
}

void TAsyncSocket::PostEvent(std::function<void()> handler) {
    QMetaObject::invokeMethod(
        this, [this, handler = std::move(handler)] { Guarded(handler); }, Qt::QueuedConnection);
}

void TAsyncSocket::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        HandleBackgroundException(error);
    } catch (...) {
        HandleBackgroundException(std::runtime_error("Unknown exception"));
    }
}

void TAsyncSocket::HandleBackgroundException(const std::exception& error) {
    bool canClose = true;
    try {
        if (OnBackgroundException) OnBackgroundException(error, canClose);
    } catch (...) {
    }
    if (!canClose) return;
    try {
        Abort();
    } catch (...) {
    }
}

} // namespace vistrel
