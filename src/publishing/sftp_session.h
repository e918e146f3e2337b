#pragma once
// One SSH connection with its SFTP channel, for the publish job on the event loop's thread.
//
// libssh is used in its blocking mode on a worker thread: each operation runs there while the
// calling thread keeps its event loop going (the window paints, "Abbrechen" works), and what the
// operation reports on the way arrives as posted events in order. libssh's non-blocking mode does
// not reach its SFTP or channel writes cleanly, and a thread per session keeps the protocol code a
// plain sequence. Cancel and the stall bound end a waiting operation by shutting the socket down,
// which libssh sees at once as a closed connection, so both are answered within a tenth of a
// second.
#include "publishing/sftp_known_hosts.h"
#include "publishing/sftp_packets.h"
#include "publishing/sftp_post_box.h"
#include "publishing/sftp_transfer.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ssh_session_struct;
struct ssh_key_struct;

namespace vistrel {

class TSftpChannel;

// What a key file gave.
enum class TKeyLoad {
    Loaded,
    NeedsPassphrase, // encrypted, and no or the wrong passphrase was given
    Unreadable,      // missing, or not a private key libssh knows
};

// The login methods the server still offers (after the "none" probe).
struct TAuthMethods {
    bool publicKey = false;
    bool password = false;
    bool keyboardInteractive = false;
};

class TSftpSession {
public:
    using TPost = std::function<void(std::function<void()>)>;
    using TFinished = std::function<void(std::exception_ptr failure)>;

    // `stallMs`: an operation during which nothing moved for this long ends as TimedOut; it also
    // bounds the TCP connection and the wait for the server's banner.
    explicit TSftpSession(int stallMs = 60000);
    ~TSftpSession();
    TSftpSession(const TSftpSession&) = delete;
    TSftpSession& operator=(const TSftpSession&) = delete;

    void SetStallMs(int stallMs) { stallMs_ = stallMs; }

    // Runs `task` on the worker thread and returns at once; `finished` follows on the calling
    // thread through its event loop, after everything the task posted. A failure that came from
    // the socket being shut down is reported as Cancelled or TimedOut. One task at a time.
    void Begin(std::function<void(const TPost& post)> task, TFinished finished);
    bool Busy() const { return worker_.joinable(); }
    // Begin, then wait on a local event loop; rethrows the failure.
    void Run(std::function<void(const TPost& post)> task);

    // The steps, each for use inside a task (on the worker). Failures throw ESftpError.
    //
    // Makes the TCP connection and the key exchange and returns the server's host key; no
    // credential has been sent yet. `keyTypesFirst` are asked for first (the types a known_hosts
    // file holds for the host, so the key can be checked).
    THostKey ConnectNow(const std::string& host, int port, const std::string& user,
                        const std::vector<std::string>& keyTypesFirst);
    // The login steps, in the order the caller chooses; each says whether the server let us in.
    TAuthMethods ProbeNow(); // a server may let us in with "none": see LoggedIn()
    bool AgentNow();
    bool KeyNow(); // the key of the last successful LoadKey
    bool PasswordNow(const std::string& password);
    bool KeyboardNow(const std::string& password);
    void StartSftpNow();
    TSftpChannel& Channel();
    void DisconnectNow();

    // On the calling thread: reads a private key file (no network involved).
    TKeyLoad LoadKey(const std::filesystem::path& file, const std::string& passphrase = {});
    bool LoggedIn() const { return loggedIn_; }
    bool HasPosixRename() const;

    // The same steps, waited for (tests and simple callers).
    THostKey Connect(const std::string& host, int port, const std::string& user,
                     const std::vector<std::string>& keyTypesFirst = {});
    TAuthMethods ProbeMethods();
    bool LoginWithAgent();
    bool LoginWithKey();
    bool LoginWithPassword(const std::string& password);
    bool LoginKeyboardInteractive(const std::string& password);
    void StartSftp();
    std::string RealPath(const std::string& path);
    uint32_t MakeDir(const std::string& path);
    uint32_t RemoveFile(const std::string& path);
    uint32_t RemoveDir(const std::string& path);
    std::vector<TSftpName> List(const std::string& path);
    // Uploads; `events` are called on the calling thread, in order, while it waits.
    void PutFiles(const std::vector<TSftpPutItem>& items, const TSftpPutLimits& limits,
                  const TSftpPutEvents& events);
    // Ends the session politely within a short bound; never throws.
    void Disconnect();

    bool Connected() const;
    // From the calling thread, also nested in a wait: the running task ends as Cancelled and the
    // session is closed.
    void Cancel();

private:
    void Finish(std::exception_ptr failure);
    void Watch();
    void Moved() { lastMove_ = std::chrono::steady_clock::now().time_since_epoch().count(); }
    void ShutDown();
    void Free();
    bool AuthResult(int code, const char* what);

    int stallMs_;
    ssh_session_struct* session_ = nullptr;
    std::unique_ptr<TSftpChannel> channel_;
    ssh_key_struct* key_ = nullptr;
    mutable std::mutex socketLock_; // guards fd_ between the watch, Cancel and Free
    int fd_ = -1;
    std::atomic<int64_t> lastMove_{0};
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> stalled_{false};
    bool loggedIn_ = false;
    // What the worker posts runs on the calling thread, and is dropped with the session.
    std::unique_ptr<TPostBox> box_;
    std::unique_ptr<QTimer> watch_;
    std::thread worker_;
    TFinished finished_;
};

// Events for PutFiles that hand each report to the calling thread through `post`; `events`
// must outlive the task.
TSftpPutEvents RelayPutEvents(const TSftpPutEvents& events, const TSftpSession::TPost& post);

} // namespace vistrel
