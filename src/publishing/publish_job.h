#pragma once
// The publish job: puts the generated site on the user's web server through a remote site (one
// adapter per protocol). It logs in, optionally empties the remote root, then walks the upload
// plan folder by folder: creates and enters the remote folder, sends every file that changed since
// the last run (the transfer list decides), optionally checks the server folder by a listing and
// sends again what is missing, and climbs back. A watchdog reconnects after a stall. It is one
// sequential procedure on the event loop's thread: it waits for each request with Await, which
// keeps dispatching events, so the site's events, the watchdog and the cancel button all run
// nested inside those waits.
#include "common/job.h"
#include "publishing/connection_settings.h"
#include "publishing/publish_view.h"
#include "publishing/remote_site.h"
#include "publishing/transfer_list.h"
#include "publishing/upload_plan.h"
#include "publishing/upload_session.h"

#include <QTimer>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vistrel {

class TProgramSettings;
class UserPrompts;

// The job's waits; tests shorten them.
struct TPublishTimings {
    int watchdogMs = 60000;          // stall after which the watchdog reconnects
    int startDelayMs = 100;          // before the login
    int connectFailedDelayMs = 4000; // lets the user read "Verbindung konnte nicht hergestellt werden."
    int transferTimeoutMs = 120000;  // a request's longest stall while sending
    int deleteTimeoutMs = 30000;     // a request's longest stall while deleting everything
    // Reconnections of the watchdog in one run. Each costs a whole watchdog interval, so a server
    // that never confirms a file ends the run after (maxReconnects + 1) intervals: 4 minutes.
    int maxReconnects = 3;
};

// What a run needs: the connection settings, the upload plan, the two check boxes of the dialog
// and the waits.
struct TPublishParams {
    TConnectionSettings connection;
    TUploadPlan plan;
    bool deleteAll = false;   // cbDeleteAll
    bool transferAll = false; // cbTransferAll
    std::filesystem::path transferListFile;
    TPublishTimings timings;
};

// The settings' part of the parameters, as the main window and the settings button take them.
void TakeSettings(TPublishParams& params, const TProgramSettings& settings);

// Makes the session of a run; tests give a fake or a tuned adapter.
using TRemoteSiteFactory = std::function<std::unique_ptr<TRemoteSite>(const TConnectionSettings&)>;

// How a run ended. The first value is success; PublishMessage gives the German closing line.
enum class TPublishCode {
    Completed,           // every folder sent, QUIT sent, the final message shown
    NotStarted,          // a confirmation or the password prompt ended it before connecting
    NoHost,              // no FTP host set: the settings must be completed first
    LoginFailed,         // the server could not be reached or did not greet
    BadPassword,         // the server refused the login
    ConnectionLost,      // the session broke, stalled or timed out and could not be restored
    DiskFull,            // the server has no room
    Refused,             // the server refused a command the run needs (the protocol shows which)
    DeleteFailed,        // the server folder could not be emptied; nothing was sent
    TlsRefused,          // encryption required, but the server offers none
    EncryptionDeclined,  // encryption wanted, the server offers none, and going without was declined
    CertificateRejected, // the server's certificate was not trusted; detail: its fingerprint
    HostKeyRejected,     // SFTP: an unknown host key was not trusted; detail: its fingerprint
    HostKeyChanged,      // SFTP: the host key differs from the trusted one; detail: "old new"
    Cancelled,           // "Abbrechen"
};
using TPublishResult = TJobResult<TPublishCode>;

// The one German text for a run's end, for the dialog and vistrel-cli alike (Windows-1252). Empty
// for NotStarted, whose reasons were shown as they happened.
std::string PublishMessage(const TPublishResult& result, const std::string& host,
                           const std::string& remoteRoot);

class TPublishJob {
public:
    TPublishJob(UserPrompts& prompts, PublishView& view, TRemoteSiteFactory factory = OpenRemoteSite);
    ~TPublishJob();
    TPublishJob(const TPublishJob&) = delete;
    TPublishJob& operator=(const TPublishJob&) = delete;

    // FormShow: takes the parameters, counts the plan, fills the labels, empties the protocol.
    void Prepare(const TPublishParams& params);
    // After the settings dialog: takes its values and shows them.
    void ShowSettings(const TPublishParams& params);
    // btnTransmitClick.
    TPublishResult Run(const TPublishParams& params);
    // btnCancelClick (and the deletion window's "Abbrechen").
    void Cancel();
    // FormClose: ends the session.
    void Close();

    const std::string& HostName() const { return params_.connection.host; }
    // The remote root as the run used it (ending in "/" once a run started).
    const std::string& RemoteRoot() const { return remoteRoot_; }
    // The password typed into the prompt of the last run, for the next one.
    const std::string& TypedPassword() const { return typedPassword_; }
    const TTransferList& TransferList() const { return list_; }
    int Reconnects() const { return reconnects_; }
    int TotalFiles() const { return totalFiles_; }
    int64_t TotalBytes() const { return totalBytes_; }

private:
    // Where a run stands. The stop cause (stop_) says why it ends early.
    enum class TRunState { Idle, Connecting, Deleting, Sending, Reconnecting, Ending };
    // What a request of the main session is, for the rules its failures follow.
    enum class TRequest { Login, Features, Transfers, MakeFolder, Folder, Upload, Listing, Delete, Quit };
    // Per name of the folder: its transfer-list line as it is now and whether the list of the last
    // run holds it.
    struct TFileState {
        std::string line;
        bool unchanged = false;
    };

    // publish_job.cpp: the run.
    void TakeParams(const TPublishParams& params);
    void CountFolder(const std::string& folder);
    bool ConfirmDeletion();
    bool Connect();
    TPublishCode Outcome() const;
    void ShowEnd(TPublishCode code);
    TPublishResult Ended(TPublishCode code, std::string detail = {});
    void Stop(TPublishCode why);
    bool Stopped() const { return stop_.has_value(); }
    bool Connected() const { return site_ && site_->Connected(); }
    void Log(const std::string& text);
    void Status(const std::string& text);
    void Delay(int milliseconds);

    // publish_requests.cpp: the main session's requests, its events and the watchdog.
    TRemoteResult Call(TRequest request, const std::function<void(TRemoteSite&, TRemoteDone)>& start);
    void Failed(TRequest request, const TRemoteResult& result);
    void LoginFailed(const TRemoteResult& result);
    void UploadRefused();
    void WireSite();
    void SiteLine(TRemoteLineKind kind, const std::string& text);
    void SiteProgress(int64_t count);
    void SiteConnection(bool connected);
    void WatchdogOn();
    void WatchdogOff();
    void WatchdogRestart();
    void WatchdogFired();
    void LostConnection();
    void Reconnect();

    // remote_folders.cpp: entering, leaving and emptying folders of the server.
    void ChangeRemoteDir(const std::string& path);
    void ClimbBack();
    void DeleteAll();
    void DeleteRemoteTree(const std::string& folder, int depth);
    std::optional<std::vector<TRemoteEntry>> ListRemoteFolder(TListingDetail detail);

    // folder_sender.cpp: one folder's files.
    void UploadFolder();
    void DeleteSentProgramFiles();
    void CheckFolderFiles();
    void SendFiles();
    std::vector<std::string> TakeBatch(size_t count);
    std::optional<size_t> TakeFile();
    bool Skipped(const std::string& name);
    void FileDone(const std::string& name);
    void SendFile(const std::string& name);
    void SendBatch(const std::vector<std::string>& names);
    void BatchFileEnded(const std::string& name, const TRemoteResult& result);
    bool PutWatched(const std::string& name);
    void VerificationPass();
    void ShowTotals();

    // publish_sessions.cpp: the extra upload sessions.
    void StartSessions();
    void StopSessions();
    bool SessionsBusy() const;
    TUploadSessionHost SessionHost();

    UserPrompts& prompts_;
    PublishView& view_;
    TRemoteSiteFactory factory_;
    std::unique_ptr<TRemoteSite> site_;
    TPublishParams params_;
    TPublishTimings timings_;
    QTimer watchdog_;

    TRunState state_ = TRunState::Idle;
    std::optional<TPublishCode> stop_;
    std::string remoteRoot_;
    std::string typedPassword_;
    std::string lastDetail_; // the English detail of the last failure, or a rejected fingerprint
    std::optional<TTrustQuestion> hostKeyQuestion_; // SFTP: the last question about a host key
    TTransferList list_;

    std::string localDir_;
    std::string remoteDir_;
    std::vector<std::string> files_; // the folder's names; grows when a file is queued again
    size_t nextFile_ = 0;            // the first of files_ nobody has taken yet
    std::map<std::string, TFileState> folderFiles_;
    std::map<std::string, int> refusals_;  // how often each name of the folder was refused
    std::optional<std::string> uploading_; // the name whose upload runs, queued again when refused
    std::vector<std::unique_ptr<TUploadSession>> sessions_;
    int dirDepth_ = 0;
    int64_t fileSize_ = 0;
    int totalFiles_ = 0;
    int64_t totalBytes_ = 0;
    int filesDone_ = 0;
    int64_t bytesDone_ = 0;
    int reconnects_ = 0;
    int givenUp_ = 0; // files refused so often that they are no longer sent
};

} // namespace vistrel
