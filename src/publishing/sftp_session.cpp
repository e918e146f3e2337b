#include "publishing/sftp_session.h"

#include "net/socket_errors.h"
#include "publishing/sftp_channel.h"
#include "publishing/sftp_error.h"

#include <QByteArray>
#include <QEventLoop>
#include <QTimer>

#include <libssh/libssh.h>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <thread>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vistrel {

namespace {

constexpr int kWatchMs = 100;
constexpr int kDisconnectMs = 2000;
constexpr int kKeyboardRounds = 4;

[[noreturn]] void SocketFailure(int error) {
    const int wsa = SocketErrorFromErrno(error);
    throw ESftpError(TSftpFailure::Connect, SocketErrorDesc(wsa) + " (Error #" + std::to_string(wsa) + ")");
}

// A non-blocking connect, waited for in slices so that cancel and the bound are noticed.
int ConnectTcp(const std::string& host, int port, int boundMs, const std::atomic<bool>& cancelled) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int gai = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (gai != 0) {
        const int wsa = SocketErrorFromResolver(gai, errno);
        throw ESftpError(TSftpFailure::Connect,
                         SocketErrorDesc(wsa) + " (Error #" + std::to_string(wsa) + ")");
    }
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> addresses(found, &freeaddrinfo);
    int lastError = ECONNREFUSED;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    for (addrinfo* address = found; address; address = address->ai_next) {
        const int fd = socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            lastError = errno;
            continue;
        }
        if (connect(fd, address->ai_addr, address->ai_addrlen) == 0) return fd;
        lastError = errno;
        while (lastError == EINPROGRESS && !cancelled && std::chrono::steady_clock::now() < deadline) {
            pollfd waiting{fd, POLLOUT, 0};
            if (poll(&waiting, 1, kWatchMs) <= 0) continue;
            socklen_t length = sizeof lastError;
            getsockopt(fd, SOL_SOCKET, SO_ERROR, &lastError, &length);
            if (lastError == 0) return fd;
        }
        close(fd);
        if (cancelled) throw ESftpError(TSftpFailure::Cancelled, "cancelled");
        if (lastError == EINPROGRESS) throw ESftpError(TSftpFailure::TimedOut, "connection timed out");
    }
    SocketFailure(lastError);
}

// With the processor's AES instructions, AES-GCM costs both ends less per byte than libssh's (and
// OpenSSH's) first choice, ChaCha20-Poly1305: on loopback, where the server's processor decides, a
// 200 MB file went 15 % faster. Without them libssh's own order stands.
const char* CipherOrder() {
#if defined(__x86_64__) || defined(__i386__)
    if (__builtin_cpu_supports("aes") && __builtin_cpu_supports("pclmul"))
        return "aes128-gcm@openssh.com,aes256-gcm@openssh.com,chacha20-poly1305@openssh.com,"
               "aes256-ctr,aes192-ctr,aes128-ctr";
#endif
    return nullptr;
}

// The host key algorithms to ask for: those of keys we already know for the host first.
std::string HostKeyOrder(const std::vector<std::string>& knownTypes) {
    const std::vector<std::string> all = {"ssh-ed25519",         "ecdsa-sha2-nistp521", "ecdsa-sha2-nistp384",
                                          "ecdsa-sha2-nistp256", "rsa-sha2-512",        "rsa-sha2-256"};
    std::vector<std::string> order;
    for (const auto& type : knownTypes) {
        if (type == "ssh-rsa") {
            order.push_back("rsa-sha2-512");
            order.push_back("rsa-sha2-256");
        } else if (std::find(all.begin(), all.end(), type) != all.end()) {
            order.push_back(type);
        }
    }
    for (const auto& algorithm : all)
        if (std::find(order.begin(), order.end(), algorithm) == order.end()) order.push_back(algorithm);
    std::string list;
    for (const auto& algorithm : order)
        list += (list.empty() ? "" : ",") + algorithm;
    return list;
}

// A key blob starts with its type as an SSH string.
std::string BlobType(const std::string& blob) {
    if (blob.size() < 4) return {};
    const uint32_t length = uint32_t(uint8_t(blob[0])) << 24 | uint32_t(uint8_t(blob[1])) << 16 |
                            uint32_t(uint8_t(blob[2])) << 8 | uint32_t(uint8_t(blob[3]));
    if (length > blob.size() - 4) return {};
    return blob.substr(4, length);
}

THostKey ServerHostKey(ssh_session session) {
    ssh_key key = nullptr;
    if (ssh_get_server_publickey(session, &key) != SSH_OK)
        throw ESftpError(TSftpFailure::Connect, "the server showed no host key");
    char* base64 = nullptr;
    const int exported = ssh_pki_export_pubkey_base64(key, &base64);
    ssh_key_free(key);
    if (exported != SSH_OK) throw ESftpError(TSftpFailure::Connect, "the server's host key cannot be read");
    THostKey hostKey;
    hostKey.blob = QByteArray::fromBase64(QByteArray(base64)).toStdString();
    ssh_string_free_char(base64);
    hostKey.type = BlobType(hostKey.blob);
    return hostKey;
}

int NoPassphrase(const char*, char*, size_t, int, int, void* asked) {
    *static_cast<bool*>(asked) = true;
    return -1;
}

} // namespace

TSftpPutEvents RelayPutEvents(const TSftpPutEvents& events, const TSftpSession::TPost& post) {
    TSftpPutEvents relay;
    if (events.started)
        relay.started = [&events, post](size_t index) { post([&events, index] { events.started(index); }); };
    if (events.progress)
        relay.progress = [&events, post](size_t index, int64_t bytes) {
            post([&events, index, bytes] { events.progress(index, bytes); });
        };
    relay.sent = [&events, post](size_t index) { post([&events, index] { events.sent(index); }); };
    relay.failed = [&events, post](size_t index, uint32_t status, const std::string& why) {
        post([&events, index, status, why] { events.failed(index, status, why); });
    };
    return relay;
}

TSftpSession::TSftpSession(int stallMs)
    : stallMs_(stallMs), box_(std::make_unique<TPostBox>()), watch_(std::make_unique<QTimer>()) {
    QObject::connect(watch_.get(), &QTimer::timeout, box_->Receiver(), [this] { Watch(); });
}

TSftpSession::~TSftpSession() {
    if (Busy()) {
        Cancel();
        worker_.join();
    }
    // Whatever the worker posted and nobody ran goes with the box.
    watch_.reset();
    box_.reset();
    Free();
    if (key_) ssh_key_free(key_);
}

void TSftpSession::Begin(std::function<void(const TPost& post)> task, TFinished finished) {
    if (Busy()) throw ESftpError(TSftpFailure::Lost, "an SFTP request is still running");
    stalled_ = false;
    Moved();
    finished_ = std::move(finished);
    watch_->start(std::min(kWatchMs, std::max(1, stallMs_ / 4)));
    TPostBox* box = box_.get();
    worker_ = std::thread([this, box, task = std::move(task)] {
        std::exception_ptr failure;
        TPost post = [box](std::function<void()> work) { box->Post(std::move(work)); };
        try {
            task(post);
        } catch (...) {
            failure = std::current_exception();
        }
        // Posted last, so every report of the task has run before the caller hears the end.
        box->Post([this, failure] { Finish(failure); });
    });
}

void TSftpSession::Finish(std::exception_ptr failure) {
    worker_.join();
    watch_->stop();
    if (failure && cancelled_)
        failure = std::make_exception_ptr(ESftpError(TSftpFailure::Cancelled, "cancelled"));
    else if (failure && stalled_)
        failure = std::make_exception_ptr(
            ESftpError(TSftpFailure::TimedOut, "nothing moved for " + std::to_string(stallMs_) + " ms"));
    auto finished = std::move(finished_);
    finished_ = nullptr;
    if (finished) finished(failure);
}

void TSftpSession::Watch() {
    const auto idle = std::chrono::steady_clock::now().time_since_epoch().count() - lastMove_;
    const auto bound =
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::milliseconds(stallMs_));
    if (stallMs_ > 0 && !cancelled_ && !stalled_ && idle > bound.count()) {
        stalled_ = true;
        ShutDown();
    }
}

void TSftpSession::Run(std::function<void(const TPost& post)> task) {
    std::exception_ptr failure;
    bool done = false;
    QEventLoop loop;
    Begin(std::move(task), [&](std::exception_ptr result) {
        failure = result;
        done = true;
        loop.quit();
    });
    if (!done) loop.exec();
    if (failure) std::rethrow_exception(failure);
}

void TSftpSession::ShutDown() {
    std::lock_guard<std::mutex> lock(socketLock_);
    if (fd_ >= 0) shutdown(fd_, SHUT_RDWR);
}

void TSftpSession::Cancel() {
    cancelled_ = true;
    ShutDown();
}

THostKey TSftpSession::ConnectNow(const std::string& host, int port, const std::string& user,
                                  const std::vector<std::string>& keyTypesFirst) {
    if (session_) throw ESftpError(TSftpFailure::Connect, "already connected");
    session_ = ssh_new();
    if (!session_) throw ESftpError(TSftpFailure::Connect, "no SSH session");
    const int fd = ConnectTcp(host, port, stallMs_ > 0 ? stallMs_ : 120000, cancelled_);
    {
        std::lock_guard<std::mutex> lock(socketLock_);
        fd_ = fd;
    }
    Moved();
    // Requests go out as they are made: Nagle's algorithm would hold back each burst of small
    // requests (a batch's OPENs, its RENAMEs) until the previous one was acknowledged, a round
    // trip per batch and folder.
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    // libssh closes the descriptor it is given; ours stays open for shutdown() until Free closes
    // it, so a cancel can never hit a number the system gave out again.
    int sshFd = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (sshFd < 0) SocketFailure(errno);
    const bool noConfig = false;
    const std::string order = HostKeyOrder(keyTypesFirst);
    ssh_options_set(session_, SSH_OPTIONS_PROCESS_CONFIG, &noConfig);
    ssh_options_set(session_, SSH_OPTIONS_HOST, host.c_str());
    ssh_options_set(session_, SSH_OPTIONS_PORT, &port);
    ssh_options_set(session_, SSH_OPTIONS_USER, user.c_str());
    ssh_options_set(session_, SSH_OPTIONS_HOSTKEYS, order.c_str());
    ssh_options_set(session_, SSH_OPTIONS_FD, &sshFd);
    if (const char* ciphers = CipherOrder()) {
        // A list libssh does not know leaves its own order in place.
        ssh_options_set(session_, SSH_OPTIONS_CIPHERS_C_S, ciphers);
        ssh_options_set(session_, SSH_OPTIONS_CIPHERS_S_C, ciphers);
    }
    if (ssh_connect(session_) != SSH_OK)
        throw ESftpError(TSftpFailure::Connect,
                         std::string("SSH handshake failed: ") + ssh_get_error(session_));
    Moved();
    return ServerHostKey(session_);
}

bool TSftpSession::AuthResult(int code, const char* what) {
    Moved();
    if (code == SSH_AUTH_SUCCESS) {
        loggedIn_ = true;
        return true;
    }
    if (code == SSH_AUTH_DENIED || code == SSH_AUTH_PARTIAL) return false;
    throw ESftpError(TSftpFailure::Lost, std::string(what) + ": " + ssh_get_error(session_));
}

TAuthMethods TSftpSession::ProbeNow() {
    TAuthMethods methods;
    if (AuthResult(ssh_userauth_none(session_, nullptr), "login")) return methods;
    const int offered = ssh_userauth_list(session_, nullptr);
    methods.publicKey = offered & SSH_AUTH_METHOD_PUBLICKEY;
    methods.password = offered & SSH_AUTH_METHOD_PASSWORD;
    methods.keyboardInteractive = offered & SSH_AUTH_METHOD_INTERACTIVE;
    return methods;
}

bool TSftpSession::AgentNow() {
    const char* socket = std::getenv("SSH_AUTH_SOCK");
    if (!socket || !*socket) return false;
    return AuthResult(ssh_userauth_agent(session_, nullptr), "agent login");
}

TKeyLoad TSftpSession::LoadKey(const std::filesystem::path& file, const std::string& passphrase) {
    if (key_) ssh_key_free(key_);
    key_ = nullptr;
    bool asked = false;
    const int result = ssh_pki_import_privkey_file(
        file.c_str(), passphrase.empty() ? nullptr : passphrase.c_str(), NoPassphrase, &asked, &key_);
    if (result == SSH_OK) return TKeyLoad::Loaded;
    key_ = nullptr;
    if (result == SSH_EOF) return TKeyLoad::Unreadable;
    return asked || !passphrase.empty() ? TKeyLoad::NeedsPassphrase : TKeyLoad::Unreadable;
}

bool TSftpSession::KeyNow() {
    if (!key_) return false;
    return AuthResult(ssh_userauth_publickey(session_, nullptr, key_), "key login");
}

bool TSftpSession::PasswordNow(const std::string& password) {
    return AuthResult(ssh_userauth_password(session_, nullptr, password.c_str()), "password login");
}

bool TSftpSession::KeyboardNow(const std::string& password) {
    int code = ssh_userauth_kbdint(session_, nullptr, nullptr);
    // The server asks in rounds; a hidden prompt gets the password, any other an empty line. A
    // server that asks again after the password was refused is not answered forever.
    for (int round = 0; code == SSH_AUTH_INFO && round < kKeyboardRounds; ++round) {
        const int prompts = ssh_userauth_kbdint_getnprompts(session_);
        for (int i = 0; i < prompts; ++i) {
            char echo = 0;
            ssh_userauth_kbdint_getprompt(session_, unsigned(i), &echo);
            ssh_userauth_kbdint_setanswer(session_, unsigned(i), echo ? "" : password.c_str());
        }
        code = ssh_userauth_kbdint(session_, nullptr, nullptr);
    }
    return code != SSH_AUTH_INFO && AuthResult(code, "keyboard-interactive login");
}

void TSftpSession::StartSftpNow() {
    if (!session_ || !loggedIn_) throw ESftpError(TSftpFailure::Lost, "not logged in");
    channel_ = std::make_unique<TSftpChannel>(session_, [this] { Moved(); });
    channel_->Start();
}

TSftpChannel& TSftpSession::Channel() {
    if (!channel_) throw ESftpError(TSftpFailure::Lost, "no SFTP channel");
    return *channel_;
}

void TSftpSession::DisconnectNow() {
    if (!session_) return;
    if (channel_) channel_->Stop();
    ssh_disconnect(session_);
}

bool TSftpSession::HasPosixRename() const {
    return channel_ && channel_->HasPosixRename();
}

THostKey TSftpSession::Connect(const std::string& host, int port, const std::string& user,
                               const std::vector<std::string>& keyTypesFirst) {
    THostKey key;
    Run([&](const TPost&) { key = ConnectNow(host, port, user, keyTypesFirst); });
    return key;
}

TAuthMethods TSftpSession::ProbeMethods() {
    TAuthMethods methods;
    Run([&](const TPost&) { methods = ProbeNow(); });
    return methods;
}

bool TSftpSession::LoginWithAgent() {
    bool in = false;
    Run([&](const TPost&) { in = AgentNow(); });
    return in;
}

bool TSftpSession::LoginWithKey() {
    bool in = false;
    Run([&](const TPost&) { in = KeyNow(); });
    return in;
}

bool TSftpSession::LoginWithPassword(const std::string& password) {
    bool in = false;
    Run([&](const TPost&) { in = PasswordNow(password); });
    return in;
}

bool TSftpSession::LoginKeyboardInteractive(const std::string& password) {
    bool in = false;
    Run([&](const TPost&) { in = KeyboardNow(password); });
    return in;
}

void TSftpSession::StartSftp() {
    Run([&](const TPost&) { StartSftpNow(); });
}

std::string TSftpSession::RealPath(const std::string& path) {
    std::string result;
    Run([&](const TPost&) { result = Channel().RealPath(path); });
    return result;
}

uint32_t TSftpSession::MakeDir(const std::string& path) {
    uint32_t status = 0;
    Run([&](const TPost&) { status = Channel().MakeDir(path); });
    return status;
}

uint32_t TSftpSession::RemoveFile(const std::string& path) {
    uint32_t status = 0;
    Run([&](const TPost&) { status = Channel().RemoveFile(path); });
    return status;
}

uint32_t TSftpSession::RemoveDir(const std::string& path) {
    uint32_t status = 0;
    Run([&](const TPost&) { status = Channel().RemoveDir(path); });
    return status;
}

std::vector<TSftpName> TSftpSession::List(const std::string& path) {
    std::vector<TSftpName> names;
    Run([&](const TPost&) { names = Channel().List(path); });
    return names;
}

void TSftpSession::PutFiles(const std::vector<TSftpPutItem>& items, const TSftpPutLimits& limits,
                            const TSftpPutEvents& events) {
    Run([&](const TPost& post) {
        ::vistrel::PutFiles(Channel(), items, limits, RelayPutEvents(events, post));
    });
}

bool TSftpSession::Connected() const {
    return session_ && !cancelled_ && !stalled_ && ssh_is_connected(session_);
}

void TSftpSession::Disconnect() {
    if (Busy()) {
        // Called from an event inside a wait: the worker still uses the session. Ending the
        // operation is all that can be done now; the session goes when its owner drops it.
        Cancel();
        return;
    }
    if (Connected()) {
        const int stall = stallMs_;
        stallMs_ = stallMs_ > 0 ? std::min(stallMs_, kDisconnectMs) : kDisconnectMs;
        try {
            Run([&](const TPost&) { DisconnectNow(); });
        } catch (const ESftpError&) {
            // Going anyway.
        }
        stallMs_ = stall;
    }
    Free();
}

void TSftpSession::Free() {
    channel_.reset();
    if (session_) ssh_free(session_);
    session_ = nullptr;
    loggedIn_ = false;
    std::lock_guard<std::mutex> lock(socketLock_);
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

} // namespace vistrel
