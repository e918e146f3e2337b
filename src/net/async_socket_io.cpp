// Connecting, listening, name look-up and the data path of TAsyncSocket; lifetime, closing and
// error reporting are in async_socket.cpp.
#include "net/async_socket.h"

#include "common/text_utils.h"
#include "net/socket_errors.h"
#include "net/socket_resolve.h"
#include "net/tls_layer.h"

#include <QMetaObject>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace vistrel {

struct DnsLookupShared {
    std::mutex mutex;
    TAsyncSocket* owner = nullptr;
};

namespace {

// Queued data is kept in blocks of this size; each send() takes a whole block, so a large write
// goes out in few system calls.
constexpr size_t kBlockSize = 64 * 1024;

bool IsConnectionGone(int error) {
    return error == wsa::InvalidArgument || error == wsa::NotSocket || error == wsa::ConnAborted ||
           error == wsa::ConnReset || error == wsa::NotConnected;
}

int BytesWaiting(int fd) {
    int count = 0;
    if (ioctl(fd, FIONREAD, &count) != 0) return 0;
    return count;
}

int PendingSocketError(int fd) {
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    return SocketErrorFromErrno(error);
}

std::vector<std::string> LookUpAddresses(const std::string& host, int& error) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    int rc = getaddrinfo(host.c_str(), nullptr, &hints, &result);
    std::vector<std::string> addresses;
    if (rc != 0) {
        error = SocketErrorFromResolver(rc, errno);
        return addresses;
    }
    for (addrinfo* entry = result; entry; entry = entry->ai_next) {
        auto text = DottedAddress(reinterpret_cast<sockaddr_in*>(entry->ai_addr)->sin_addr);
        if (std::find(addresses.begin(), addresses.end(), text) == addresses.end()) addresses.push_back(text);
    }
    freeaddrinfo(result);
    error = addresses.empty() ? wsa::NoData : 0;
    return addresses;
}

// A notification can be stale: the event loop may report readiness that was found for a handle
// which has been closed meanwhile, and whose number a new socket of ours already reuses. Asking the
// system again keeps such a report from turning into a phantom accept or close.
bool IsReady(int fd, short events) {
    pollfd entry{fd, events, 0};
    return ::poll(&entry, 1, 0) > 0 && entry.revents != 0;
}

bool AddressOf(int fd, bool peer, std::string& address, int& port) {
    sockaddr_in name{};
    socklen_t length = sizeof name;
    int rc = peer ? getpeername(fd, reinterpret_cast<sockaddr*>(&name), &length)
                  : getsockname(fd, reinterpret_cast<sockaddr*>(&name), &length);
    if (fd < 0 || rc != 0 || name.sin_family != AF_INET) return false;
    address = DottedAddress(name.sin_addr);
    port = ntohs(name.sin_port);
    return true;
}

} // namespace

std::shared_ptr<DnsLookupShared> MakeDnsLookupShared(TAsyncSocket* owner) {
    auto shared = std::make_shared<DnsLookupShared>();
    shared->owner = owner;
    return shared;
}

void DetachDnsLookupShared(DnsLookupShared& shared) {
    std::lock_guard lock(shared.mutex);
    shared.owner = nullptr;
}

// ---- name look-up -------------------------------------------------------------------------------

void TAsyncSocket::DnsLookup(const std::string& host) {
    std::string name = Trim(host);
    if (name.empty()) {
        lastError_ = wsa::InvalidArgument;
        PostEvent([this] {
            if (OnDnsLookupDone) OnDnsLookupDone(wsa::InvalidArgument);
        });
        ReportMessage("DNS lookup: invalid host name.");
        return;
    }
    lookupPending_ = false;
    ++lookupId_;
    dnsResult_.clear();
    std::string dotted;
    if (ParseDottedAddress(name, dotted)) {
        dnsResult_ = dotted;
        if (OnDnsLookupDone) OnDnsLookupDone(0);
        return;
    }
    lookupPending_ = true;
    uint64_t id = lookupId_;
    auto shared = lookup_;
    // getaddrinfo blocks; a short-lived thread keeps the event loop free while it runs.
    std::thread([shared, id, name] {
        int error = 0;
        auto addresses = LookUpAddresses(name, error);
        std::lock_guard lock(shared->mutex);
        if (TAsyncSocket* owner = shared->owner) {
            QMetaObject::invokeMethod(
                owner,
                [owner, id, error, addresses] {
                    owner->Guarded([&] { owner->DeliverDnsResult(id, error, addresses); });
                },
                Qt::QueuedConnection);
        }
    }).detach();
}

void TAsyncSocket::DeliverDnsResult(uint64_t lookupId, int error, std::vector<std::string> addresses) {
    if (lookupId != lookupId_ || !lookupPending_) return;
    lookupPending_ = false;
    dnsResult_ = addresses.empty() ? std::string() : addresses.front();
    if (OnDnsLookupDone) OnDnsLookupDone(error);
}

void TAsyncSocket::CancelDnsLookup() {
    if (!lookupPending_) return;
    lookupPending_ = false;
    ++lookupId_;
    if (destroying_) return;
    // A look-up started after this cancel must not receive the cancel's report.
    uint64_t id = lookupId_;
    PostEvent([this, id] {
        if (id == lookupId_ && OnDnsLookupDone) OnDnsLookupDone(wsa::Interrupted);
    });
}

// ---- opening ------------------------------------------------------------------------------------

void TAsyncSocket::CreateSocket(TSocketState first) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        ReportError(SocketErrorFromErrno(errno), "socket");
        return;
    }
    AttachHandle(fd);
    sendBuffer_.clear();
    closedRaised_ = false;
    receiveFailed_ = false;
    int on = 1;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    ChangeState(first);
}

bool TAsyncSocket::BindTo(const std::string& address, const std::string& port, const char* prefix) {
    in_addr host{};
    uint16_t number = 0;
    std::string problem = SocketResolveHost(address, host);
    if (problem.empty()) problem = SocketResolvePort(port, proto_, number);
    if (!problem.empty()) {
        CloseInternal(false);
        ReportMessage(prefix + problem);
        return false;
    }
    sockaddr_in name{};
    name.sin_family = AF_INET;
    name.sin_addr = host;
    name.sin_port = htons(number);
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&name), sizeof name) != 0) {
        int error = SocketErrorFromErrno(errno);
        CloseInternal(false);
        ReportError(error, "bind");
        return false;
    }
    return true;
}

void TAsyncSocket::Connect() {
    if (state_ != wsClosed) return ReportMessage("Connect: Socket already in use");
    if (port_.empty()) return ReportMessage("Connect: No Port Specified");
    if (addr_.empty()) return ReportMessage("Connect: No IP Address Specified");
    if (proto_.empty()) return ReportMessage("Connect: No Protocol Specified");
    in_addr host{};
    uint16_t number = 0;
    std::string problem = SocketResolveHost(addr_, host);
    if (problem.empty()) problem = SocketResolvePort(port_, proto_, number);
    if (!problem.empty()) return ReportMessage("connect: " + problem);

    CreateSocket(wsOpened);
    if (fd_ < 0) return;
    int on = 1;
    if (ComponentOptions & wsoTcpNoDelay) setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    SetLingerOption();
    setsockopt(fd_, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    if ((localPort_ != "0" || localAddr_ != "0.0.0.0") && !BindTo(localAddr_, localPort_, "connect: "))
        return;

    sockaddr_in name{};
    name.sin_family = AF_INET;
    name.sin_addr = host;
    name.sin_port = htons(number);
    int rc = ::connect(fd_, reinterpret_cast<sockaddr*>(&name), sizeof name);
    int error = rc == 0 ? 0 : SocketErrorFromErrno(errno);
    ChangeState(wsConnecting);
    if (error == wsa::InProgress || error == wsa::WouldBlock) {
        writeNotifier_.setEnabled(true);
        return;
    }
    // Loopback connections may succeed or be refused at once; the outcome still arrives as an
    // event from the loop, as it does for every other connection.
    uint64_t connection = connection_;
    PostEvent([this, connection, error] {
        if (connection_ == connection && state_ == wsConnecting) HandleConnectEvent(error);
    });
}

void TAsyncSocket::Listen() {
    if (port_.empty()) return ReportMessage("listen: port not assigned");
    if (proto_.empty()) return ReportMessage("listen: protocol not assigned");
    if (addr_.empty()) return ReportMessage("listen: address not assigned");
    if (state_ != wsClosed) return ReportMessage("listen: Socket already in use");
    CreateSocket(wsOpened);
    if (fd_ < 0 || !BindTo(addr_, port_, "listen: ")) return;
    ChangeState(wsBound);
    if (::listen(fd_, 5) != 0) {
        int error = SocketErrorFromErrno(errno);
        CloseInternal(false);
        return ReportError(error, "listen");
    }
    ChangeState(wsListening);
    std::string address;
    int port = 0;
    if (GetSockName(address, port)) localPort_ = std::to_string(port);
    readNotifier_.setEnabled(true);
}

int TAsyncSocket::Accept() {
    if (state_ != wsListening) {
        ReportError(wsa::InvalidArgument, "not a listening socket");
        return -1;
    }
    int handle = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    // The accept event is re-armed by accepting, as with WinSock, so an unanswered offer does not
    // spin the event loop.
    readNotifier_.setEnabled(true);
    if (handle < 0) {
        int error = SocketErrorFromErrno(errno);
        // The offer was withdrawn (the peer reset it) before we took it: nothing to report.
        if (error == wsa::WouldBlock || error == wsa::ConnAborted) {
            lastError_ = error;
            return -1;
        }
        ReportError(error, "accept");
        return -1;
    }
    return handle;
}

void TAsyncSocket::Dup(int handle) {
    if (handle < 0) return ReportError(wsa::InvalidArgument, "Dup");
    if (fd_ >= 0) {
        CloseHandle();
        ChangeState(wsClosed);
    }
    AttachHandle(handle);
    int flags = fcntl(fd_, F_GETFL);
    fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
    sendBuffer_.clear();
    closedRaised_ = false;
    receiveFailed_ = false;
    SetLingerOption();
    ChangeState(wsConnected);
    readNotifier_.setEnabled(true);
}

bool TAsyncSocket::GetSockName(std::string& address, int& port) const {
    return AddressOf(fd_, false, address, port);
}

bool TAsyncSocket::GetPeerName(std::string& address, int& port) const {
    return AddressOf(fd_, true, address, port);
}

// ---- data ---------------------------------------------------------------------------------------

int TAsyncSocket::Send(const void* data, int length) {
    if (state_ != wsConnected || fd_ < 0 || (tls_ && !tls_->Established())) {
        ReportError(wsa::NotConnected, "Send");
        return -1;
    }
    if (!tls_) {
        QueueRaw(static_cast<const char*>(data), length);
        return length;
    }
    if (!tls_->Write(static_cast<const char*>(data), std::max(length, 0))) {
        ReportError(wsa::ConnAborted, "Send");
        return -1;
    }
    FlushTls();
    return length;
}

// Queues bytes for the network as they are and sends what the socket takes now.
void TAsyncSocket::QueueRaw(const char* data, int length) {
    const char* bytes = data;
    int rest = std::max(length, 0);
    while (rest > 0) {
        if (sendBuffer_.empty() || sendBuffer_.back().size() >= kBlockSize) sendBuffer_.emplace_back();
        auto& block = sendBuffer_.back();
        size_t take = std::min<size_t>(kBlockSize - block.size(), static_cast<size_t>(rest));
        block.append(bytes, take);
        bytes += take;
        rest -= static_cast<int>(take);
    }
    TryToSend();
    if (state_ != wsConnected) return;
    if (!sendBuffer_.empty()) {
        writeNotifier_.setEnabled(true);
    } else if (!writeEventPosted_) {
        // Everything went out at once; OnDataSent must still come from the loop, never from here.
        writeEventPosted_ = true;
        uint64_t connection = connection_;
        PostEvent([this, connection] {
            if (connection_ != connection) return;
            writeEventPosted_ = false;
            if (state_ == wsConnected) HandleWriteEvent();
        });
    }
}

int TAsyncSocket::SendStr(const std::string& text) {
    if (text.empty()) return 0;
    return Send(text.data(), static_cast<int>(text.size()));
}

int TAsyncSocket::Receive(void* buffer, int length) {
    if (fd_ < 0) {
        lastError_ = wsa::NotConnected;
        return -1;
    }
    if (tls_ || inputHeld_) {
        if (length <= 0) return 0; // as recv does: the caller's full buffer ends the connection
        if (!tls_ || !tls_->Established()) {
            lastError_ = wsa::WouldBlock;
            return -1;
        }
        PullRaw();
        int count = tls_->Read(static_cast<char*>(buffer), std::max(length, 0));
        if (count > 0) {
            readCount_ += count;
            return count;
        }
        // The close alert, a broken record or the end of the stream end the connection.
        if (count < 0 || rawEof_) {
            tlsPeerClosed_ = true;
            return 0;
        }
        lastError_ = wsa::WouldBlock;
        return -1;
    }
    ssize_t count = ::recv(fd_, buffer, static_cast<size_t>(std::max(length, 0)), 0);
    if (count < 0) {
        lastError_ = SocketErrorFromErrno(errno);
        if (lastError_ != wsa::WouldBlock) receiveFailed_ = true;
        return -1;
    }
    readCount_ += count;
    return static_cast<int>(count);
}

void TAsyncSocket::TryToSend() {
    while (!sendBuffer_.empty() && fd_ >= 0) {
        auto& block = sendBuffer_.front();
        if (block.empty()) {
            sendBuffer_.pop_front();
            continue;
        }
        ssize_t sent = ::send(fd_, block.data(), block.size(), MSG_NOSIGNAL);
        if (sent < 0) {
            int error = SocketErrorFromErrno(errno);
            if (error == wsa::WouldBlock) return;
            if (IsConnectionGone(error)) {
                sendBuffer_.clear();
                RaiseSessionClosed(error);
                Close();
                return;
            }
            return ReportError(error, "TryToSend failed");
        }
        bool partial = static_cast<size_t>(sent) < block.size();
        if (partial) {
            block.erase(0, static_cast<size_t>(sent));
        } else {
            sendBuffer_.pop_front();
        }
        if (OnSendData) OnSendData(static_cast<int>(sent));
        if (partial) return;
    }
}

// ---- notifications ------------------------------------------------------------------------------

void TAsyncSocket::HandleReadReady() {
    if (fd_ < 0 || !IsReady(fd_, POLLIN)) return;
    if ((tls_ || inputHeld_) && state_ == wsConnected) return HandleTlsReadReady();
    if (state_ == wsListening) {
        readNotifier_.setEnabled(false);
        if (OnSessionAvailable) {
            OnSessionAvailable(0);
        } else {
            int handle = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (handle >= 0) ::close(handle);
            readNotifier_.setEnabled(true);
        }
        return;
    }
    if (state_ == wsConnecting) return HandleConnectEvent(PendingSocketError(fd_));
    if (state_ != wsConnected) {
        readNotifier_.setEnabled(false);
        return;
    }
    if (BytesWaiting(fd_) > 0) return ReceiveLoop(ComponentOptions & wsoNoReceiveLoop);
    char probe = 0;
    ssize_t count = ::recv(fd_, &probe, 1, MSG_PEEK);
    if (count > 0) return ReceiveLoop(ComponentOptions & wsoNoReceiveLoop);
    if (count == 0) return HandleCloseEvent(0);
    int error = SocketErrorFromErrno(errno);
    if (error != wsa::WouldBlock) HandleCloseEvent(error);
}

void TAsyncSocket::HandleWriteReady() {
    if (fd_ < 0 || !IsReady(fd_, POLLOUT)) return;
    if (state_ == wsConnecting) return HandleConnectEvent(PendingSocketError(fd_));
    if (state_ == wsConnected) return HandleWriteEvent();
    writeNotifier_.setEnabled(false);
}

void TAsyncSocket::HandleConnectEvent(int error) {
    if (state_ == wsConnected) return;
    writeNotifier_.setEnabled(false);
    ChangeState(wsConnected);
    uint64_t connection = connection_;
    if (OnSessionConnected) OnSessionConnected(error);
    if (connection_ != connection) return;
    if (error != 0) return Close();
    readNotifier_.setEnabled(true);
    if (!sendBuffer_.empty()) writeNotifier_.setEnabled(true);
}

void TAsyncSocket::HandleWriteEvent() {
    uint64_t connection = connection_;
    TryToSend();
    if (connection_ != connection || state_ != wsConnected) return;
    if (!sendBuffer_.empty()) {
        writeNotifier_.setEnabled(true);
        return;
    }
    writeNotifier_.setEnabled(false);
    if (closeWhenSent_) return FinishDelayedClose();
    if (OnDataSent) OnDataSent(0);
}

// Pending data is delivered before the close is reported: the loop runs without the one-round limit.
void TAsyncSocket::HandleCloseEvent(int error) {
    if (state_ == wsConnecting) return;
    uint64_t connection = connection_;
    if (fd_ >= 0 && HasPendingInput()) ReceiveLoop(false);
    if (connection_ != connection) return;
    // The peer's close alert is answered with ours, as TLS asks.
    if (tlsPeerClosed_ && tls_ && tls_->Established()) {
        tls_->Shutdown();
        FlushTls();
        TryToSend();
        if (connection_ != connection) return;
    }
    RaiseSessionClosed(error);
    if (connection_ == connection) Close();
}

void TAsyncSocket::ReceiveLoop(bool limitToOneRound) {
    uint64_t connection = connection_;
    for (;;) {
        int64_t before = readCount_;
        receiveFailed_ = false;
        if (OnDataAvailable) {
            OnDataAvailable(0);
        } else {
            char discard[1024];
            Receive(discard, sizeof discard);
        }
        if (connection_ != connection || fd_ < 0) return;
        if (limitToOneRound || receiveFailed_) return;
        // A handler that read nothing would spin here; the next notification tries again instead.
        if (readCount_ == before || !HasPendingInput()) return;
    }
}

bool TAsyncSocket::HasPendingInput() const {
    if (tls_) return tls_->HasPlaintext();
    return BytesWaiting(fd_) > 0;
}

// ---- TLS ----------------------------------------------------------------------------------------

void TAsyncSocket::HoldInput() {
    inputHeld_ = true;
}

void TAsyncSocket::StartTls(const std::string& host, const TTlsSession& offer) {
    if (state_ != wsConnected || fd_ < 0) return ReportError(wsa::NotConnected, "StartTls");
    inputHeld_ = false;
    tls_ = std::make_unique<TTlsLayer>(host, offer);
    tlsHandshaking_ = true;
    DriveHandshake();
    readNotifier_.setEnabled(true);
}

// Everything the peer has sent so far goes into the TLS layer (bounded per call, so one busy
// connection cannot hold the event loop).
void TAsyncSocket::PullRaw() {
    if (!tls_ || fd_ < 0 || rawEof_) return;
    char chunk[65536];
    for (int round = 0; round < 16; ++round) {
        ssize_t count = ::recv(fd_, chunk, sizeof chunk, 0);
        if (count > 0) {
            tls_->Feed(chunk, static_cast<size_t>(count));
            if (static_cast<size_t>(count) < sizeof chunk) return;
            continue;
        }
        if (count == 0)
            rawEof_ = true;
        else if (SocketErrorFromErrno(errno) != wsa::WouldBlock)
            rawEof_ = true;
        return;
    }
}

void TAsyncSocket::FlushTls() {
    if (!tls_) return;
    std::string bytes = tls_->TakeOutgoing();
    if (!bytes.empty() && state_ == wsConnected) QueueRaw(bytes.data(), static_cast<int>(bytes.size()));
}

void TAsyncSocket::DriveHandshake() {
    TTlsLayer::Progress progress = tls_->Handshake();
    FlushTls();
    if (progress == TTlsLayer::Progress::Pending && !rawEof_) return;
    tlsHandshaking_ = false;
    int error = progress == TTlsLayer::Progress::Done ? 0 : wsa::ConnAborted;
    uint64_t connection = connection_;
    PostEvent([this, connection, error] {
        if (connection_ == connection && OnTlsDone) OnTlsDone(error);
    });
}

void TAsyncSocket::HandleTlsReadReady() {
    if (inputHeld_) {
        readNotifier_.setEnabled(false);
        return;
    }
    uint64_t connection = connection_;
    PullRaw();
    if (awaitingPeerClose_) {
        // Our side is closed: what still comes is read and dropped until the peer closes.
        char discard[4096];
        while (tls_->Read(discard, sizeof discard) > 0) {
        }
        if (rawEof_) Close();
        return;
    }
    if (tlsHandshaking_) {
        DriveHandshake();
        if (tlsHandshaking_ || !tls_->Established()) {
            // Waiting for more of the handshake, or it failed: OnTlsDone tells, the close follows.
            if (rawEof_) readNotifier_.setEnabled(false);
            return;
        }
    }
    if (tls_->HasPlaintext()) {
        ReceiveLoop(ComponentOptions & wsoNoReceiveLoop);
        if (connection_ != connection || !tls_) return;
        // A peer may send its close alert and wait for ours before it closes the connection
        // (vsftpd after an empty listing): no notification would follow.
        if (tlsPeerClosed_) return HandleCloseEvent(0);
        // Decrypted bytes left behind raise no notification of their own.
        if (tls_->HasPlaintext()) {
            PostEvent([this, connection] {
                if (connection_ == connection && state_ == wsConnected && tls_) HandleTlsReadReady();
            });
            return;
        }
    }
    if (rawEof_) HandleCloseEvent(0);
}

} // namespace vistrel
