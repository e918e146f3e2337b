#pragma once
// A remote site: the folder on the user's server that a publish run puts the site into, reached by
// one protocol. The publish job talks only to this interface; each protocol (FTP/FTPS, SFTP) is one
// adapter that owns everything of its protocol: commands, reply codes or status numbers, listing
// formats, data connections, encryption and the trust question about the server's identity.
//
// How calls complete (the same for every adapter):
// - Every operation starts one request and returns at once. Its `done` is called exactly once, on
//   the thread that created the site (it runs a Qt event loop), always later through that event
//   loop, never inside the call that started it. Events (protocol lines, progress, connection,
//   the trust question) arrive the same way. An adapter may do its work on a worker thread or on
//   socket notifiers; it hands results back through the event loop.
// - One request at a time. A request started while another runs completes (posted) with
//   TRemoteFailure::Busy and changes nothing.
// - A request that makes no progress for the time limit (SetTimeLimit) fails with TimedOut and
//   leaves the session closed.
// - Abort closes the session at once and sends nothing more; a running request completes with
//   Cancelled. Destroying a site drops any completion still due: no callback after destruction.
// The job is one sequential procedure: it uses Await/AwaitListing below, which run the event loop
// until the completion came, so the job's watchdog and the cancel button keep working meanwhile.
// Extra upload sessions use the completions directly.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vistrel {

// The value of the setting rgProtocol_ItemIndex.
enum class TRemoteProtocol { Ftp = 0, Sftp = 1 };

// Where and how to publish: the settings of "Einstellungen/Veröffentlichen", filled in one place
// (ConnectionSettingsFrom). Texts are Windows-1252.
struct TConnectionSettings {
    TRemoteProtocol protocol = TRemoteProtocol::Ftp;
    std::string host;        // edFTPServer
    std::string port;        // edFTPPort; empty (or "ftp") is the protocol's own port
    std::string user;        // edFTPUser
    std::string password;    // edFTPPassword; empty: asked for when the run starts
    std::string remoteRoot;  // edFTPDirectory
    bool passive = false;    // FTP: cbUsePassiveMode
    bool useTls = false;     // FTP: cbUseTLS, explicit FTPS
    bool requireTls = false; // FTP: cbRequireTLS (only with useTls): no fallback to plain FTP
    std::string keyFile;     // SFTP: edSSHKeyFile_Text, a private key; empty logs in by password
    // The fingerprint trusted for HostPort(): the certificate's (FTPS) or the host key's (SFTP),
    // from the section TrustedCertificates; empty when none is stored.
    std::string trustedFingerprint;
    // FTP: the user allowed this HostPort() to go without encryption when it offers none
    // (section UnencryptedServers).
    bool unencryptedAllowed = false;
    bool checkServer = false;     // cbCheckServer
    bool parallelUploads = false; // cbParallelUploads
    // SFTP: the program folder's known_hosts, where trusted host keys are kept (~/.ssh/known_hosts
    // is read too); empty keeps no trust beyond the run.
    std::filesystem::path knownHostsFile;
};

// The protocol's own port as a number in text ("21", "22").
std::string DefaultPort(TRemoteProtocol protocol);
// "host:port" with the port spelled as a number: the key of the server's trusted fingerprint.
std::string HostPort(const TConnectionSettings& settings);

// Why a request failed. The job decides by these alone; the protocol's own numbers and English
// texts are only for the protocol window (TRemoteResult::code and detail).
enum class TRemoteFailure {
    None,              // success
    Refused,           // the server refused the request (permission, bad name, command not offered)
    NotFound,          // the file or folder does not exist
    AlreadyExists,     // MakeFolder: the folder is there already (or the protocol cannot tell it
                       // from a refusal; EnterFolder then decides)
    NoSpace,           // the server has no room (quota, full disk)
    NoDataConnection,  // FTP: the command was taken but no data connection could be made
    ConnectFailed,     // the server could not be reached or did not greet
    ConnectionLost,    // the session broke after it stood
    LoginRefused,      // user name, password or key not accepted
    TrustRefused,      // the server's certificate or host key was not trusted
    EncryptionRefused, // encryption required (or going without it declined), but the server offers none
    TimedOut,          // no progress within the time limit; the session is closed
    Cancelled,         // Abort ended the request
    LocalFile,         // the local file could not be read
    Busy,              // another request of this session was still running
};

struct TRemoteResult {
    TRemoteFailure failure = TRemoteFailure::None;
    // The protocol's own number for the protocol window ("Fehler 550"): FTP's reply code, SFTP's
    // status; 0 when there is none.
    int code = 0;
    std::string detail;      // English, for the protocol window and "Details"
    std::string fingerprint; // TrustRefused: the fingerprint that was not trusted
    bool Ok() const { return failure == TRemoteFailure::None; }
};

enum class TRemoteEntryKind {
    File,
    Folder,
    Other,   // a link, a device, the folder itself or its parent: never touched
    Unknown, // a names-only listing does not say
};

// One entry of a folder listing. The name comes from the server and is foreign: only a plain
// name (see IsPlainRemoteName) may be used in a request.
struct TRemoteEntry {
    std::string name;
    TRemoteEntryKind kind = TRemoteEntryKind::Unknown;
    int64_t size = -1; // -1 when the listing does not say
};

enum class TListingDetail {
    Names, // the names of the folder (the server check); kinds may be Unknown
    Kinds, // every entry with its kind, hidden ones included (emptying a folder)
};

// Lines for the protocol window, as the session produces them.
enum class TRemoteLineKind {
    Command, // a request as sent, password cut off ("MKD web", "CWD web")
    Reply,   // the server's answer, for a detailed protocol
    Note,    // the adapter's own remark ("! ...")
    Upload,  // a file's upload begins; the text is its remote name
};

// The adapter cannot vouch for the server's identity: the user decides.
struct TTrustQuestion {
    enum class TKind { Certificate, HostKey } kind = TKind::Certificate;
    std::string hostPort;
    std::string fingerprint;         // SHA-256, as the adapter shows fingerprints
    std::string reason;              // English: why it is not vouched for
    bool changed = false;            // a different identity than the one trusted before
    std::string keyType;             // HostKey: "ssh-ed25519", "ecdsa-sha2-nistp256", "ssh-rsa"
    std::string previousFingerprint; // changed: the fingerprint trusted before
};

struct TRemoteEvents {
    std::function<void(TRemoteLineKind kind, const std::string& text)> line;
    // Bytes of the running upload or listing so far; every call is progress for the watchdog.
    std::function<void(int64_t bytes)> progress;
    // The session came up (after the login) or went down (closed, lost or aborted).
    std::function<void(bool connected)> connection;
    // True trusts the identity for this session and its siblings; without a handler nothing
    // unverified is trusted.
    std::function<bool(const TTrustQuestion& question)> trust;
    // SFTP: the login needs a secret now: the passphrase of the private key `keyFile` (UTF-8, as
    // ssh-keygen took it), or, when `keyFile` is empty, the password (Windows-1252 like the
    // setting). False when the user gave none. Never stored.
    std::function<bool(const std::string& keyFile, std::string& secret)> secret;
    // Encryption is wanted but not required, and the server offers none: true goes on without it
    // (the password then goes in clear). Without a handler nothing goes unencrypted.
    std::function<bool(const std::string& hostPort)> unencrypted;
};

// What the session's connection is protected by, for the protocol window.
struct TRemoteSecurity {
    bool encrypted = false;
    std::string version; // "TLSv1.3", "SSH-2.0"; empty when not encrypted
};

using TRemoteDone = std::function<void(const TRemoteResult& result)>;
using TListingDone = std::function<void(const TRemoteResult& result, std::vector<TRemoteEntry> entries)>;

// One file of PutFiles: the local file and its name in the current folder.
struct TPutItem {
    std::filesystem::path localFile;
    std::string name;
};
// Reports one file of PutFiles as it ends: sent and confirmed (an empty result), or not sent.
// Returns false when no further file of the batch should be started (the run ends).
using TPutEach = std::function<bool(size_t index, const TRemoteResult& result)>;

class TRemoteSite {
public:
    virtual ~TRemoteSite() = default;

    // The events of this session; siblings have their own.
    virtual void SetEvents(TRemoteEvents events) = 0;
    // The longest a request may go without progress; zero waits without limit.
    virtual void SetTimeLimit(std::chrono::milliseconds limit) = 0;

    // Connects, secures the connection as the settings ask (asking the trust question where
    // needed) and logs in; the session then stands in the login folder.
    virtual void Connect(TRemoteDone done) = 0;
    // After the login: learns what the server offers (FTP: FEAT, which tells whether folders list
    // by MLSD). A failure is harmless: the session then uses its plainest ways.
    virtual void LearnFeatures(TRemoteDone done) = 0;
    // Before a folder's files: sets the session to send files unchanged (FTP: TYPE I). Completes
    // at once where the protocol has no such mode.
    virtual void PrepareTransfers(TRemoteDone done) = 0;
    // Creates the folder `name` (one plain component) in the current folder.
    virtual void MakeFolder(const std::string& name, TRemoteDone done) = 0;
    // Enters the folder `name` (one plain component) of the current folder.
    virtual void EnterFolder(const std::string& name, TRemoteDone done) = 0;
    // Goes up to the parent of the current folder.
    virtual void LeaveFolder(TRemoteDone done) = 0;
    // Sends the local file as `name` into the current folder, replacing a file of that name. It
    // stands there complete once `done` reports success; where the protocol allows (SFTP) it is
    // written under a temporary name and renamed, so nobody sees half a file.
    virtual void Put(const std::filesystem::path& localFile, const std::string& name, TRemoteDone done) = 0;
    // How many files PutFiles keeps on their way at once: on a link with a long round trip a file
    // costs several waits for a reply, and files on their way together wait together. 1 where the
    // protocol sends one file after the other (FTP).
    virtual size_t FilesAtOnce() const { return 1; }
    // Sends the files into the current folder as Put does, FilesAtOnce() of them at a time. `each`
    // reports every file as it ends (a refused file does not end the batch, unless `each` says
    // so; the files on their way then still end and are reported). `done` ends the
    // batch: a failure there means the session broke, and the files `each` did not report were
    // not sent. This one sends them one after the other through Put.
    virtual void PutFiles(std::vector<TPutItem> items, TPutEach each, TRemoteDone done);
    // Lists the current folder.
    virtual void List(TListingDetail detail, TListingDone done) = 0;
    // Deletes the file `name` of the current folder.
    virtual void DeleteFile(const std::string& name, TRemoteDone done) = 0;
    // Removes the empty folder `name` of the current folder.
    virtual void RemoveFolder(const std::string& name, TRemoteDone done) = 0;
    // Says goodbye and closes the session.
    virtual void Quit(TRemoteDone done) = 0;
    // Closes the session at once without a word to the server (see the completion rules above).
    virtual void Abort() = 0;

    virtual bool Connected() const = 0;
    virtual TRemoteSecurity Security() const = 0;
    // The host name as the settings give it, for messages.
    virtual std::string HostName() const = 0;

    // How many sessions beside this one the server is expected to allow; 0: none.
    virtual int MaxSiblings() const = 0;
    // A new, unconnected session with the same settings, for parallel uploads. Whatever this
    // session settled about trust holds there too: a sibling never asks.
    virtual std::unique_ptr<TRemoteSite> OpenSibling() const = 0;
};

// A new, unconnected session of the settings' protocol; nullptr when this build has no adapter for
// it.
std::unique_ptr<TRemoteSite> OpenRemoteSite(const TConnectionSettings& settings);

// Runs the event loop until the request that `start` begins has completed, and returns its result.
// `start` receives the completion to pass to the site.
TRemoteResult Await(const std::function<void(TRemoteDone)>& start);
TRemoteResult AwaitListing(const std::function<void(TListingDone)>& start,
                           std::vector<TRemoteEntry>& entries);

// An English name of the failure for logs and details ("no space").
const char* FailureName(TRemoteFailure failure);

} // namespace vistrel
