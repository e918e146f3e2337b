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
#include "publishing/sftp_transfer.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
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
    // `stallMs`: an operation during which nothing moved for this long ends as TimedOut; it also
    // bounds the TCP connection and the wait for the server's banner.
    explicit TSftpSession(int stallMs = 60000);
    ~TSftpSession();
    TSftpSession(const TSftpSession&) = delete;
    TSftpSession& operator=(const TSftpSession&) = delete;

    void SetStallMs(int stallMs) { stallMs_ = stallMs; }

    // Makes the TCP connection and the key exchange and returns the server's host key; no
    // credential has been sent yet. `keyTypesFirst` are asked for first (the types a known_hosts
    // file holds for the host, so the key can be checked). Throws ESftpError.
    THostKey Connect(const std::string& host, int port, const std::string& user,
                     const std::vector<std::string>& keyTypesFirst = {});

    // The login steps, in the order the caller chooses. Each says whether the server let us in;
    // a broken connection throws ESftpError.
    TAuthMethods ProbeMethods(); // true login with "none" is rare; see LoggedIn()
    bool LoginWithAgent();
    TKeyLoad LoadKey(const std::filesystem::path& file, const std::string& passphrase = {});
    bool LoginWithKey(); // the key of the last successful LoadKey
    bool LoginWithPassword(const std::string& password);
    bool LoginKeyboardInteractive(const std::string& password);
    bool LoggedIn() const { return loggedIn_; }

    // Opens the SFTP channel. Throws ESftpError.
    void StartSftp();
    bool HasPosixRename() const;

    // Remote requests; paths are the server's. Status results: 0 is success (see sftp_status).
    std::string RealPath(const std::string& path);
    uint32_t MakeDir(const std::string& path);
    uint32_t RemoveFile(const std::string& path);
    uint32_t RemoveDir(const std::string& path);
    std::vector<TSftpName> List(const std::string& path);
    // Uploads; `events` are called on the calling thread, in order, while it waits.
    void PutFiles(const std::vector<TSftpPutItem>& items, const TSftpPutLimits& limits, const TSftpPutEvents& events);

    // Ends the session politely; never throws.
    void Disconnect();
    bool Connected() const;
    // From the calling thread, also nested in a wait: the running operation ends as Cancelled.
    void Cancel();

private:
    using TPost = std::function<void(std::function<void()>)>;
    // Runs `task` on a worker thread, waiting on the event loop; rethrows what it threw, turned
    // into TimedOut or Cancelled when the socket was shut down for that.
    void Run(const std::function<void(const TPost& post)>& task);
    void Moved() { lastMove_ = std::chrono::steady_clock::now().time_since_epoch().count(); }
    void ShutDown();
    void RequireSftp() const;
    bool AuthResult(int code, const char* what);

    int stallMs_;
    ssh_session_struct* session_ = nullptr;
    std::unique_ptr<TSftpChannel> channel_;
    ssh_key_struct* key_ = nullptr;
    mutable std::mutex socketLock_; // guards fd_ between Cancel and Disconnect
    int fd_ = -1;
    std::atomic<int64_t> lastMove_{0};
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> stalled_{false};
    bool loggedIn_ = false;
    bool running_ = false;
};

} // namespace vistrel
