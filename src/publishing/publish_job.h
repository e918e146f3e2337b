#pragma once
// The publish job: puts the generated site on the user's web server by FTP. It logs in, optionally
// empties the remote root, then walks the upload plan folder by folder: creates and enters the
// remote folder, sends every file that changed since the last run (the transfer list decides),
// optionally checks the server folder by a name listing and sends again what is missing, and
// climbs back. A watchdog reconnects after a stall. It is one sequential procedure on the event
// loop's thread: the client's blocking operations and the job's own waits keep dispatching events,
// so the client's events, the watchdog and the cancel button all run nested inside those waits.
#include "common/job.h"
#include "publishing/ftp_client.h"
#include "publishing/publish_view.h"
#include "publishing/transfer_list.h"
#include "publishing/upload_plan.h"
#include "publishing/upload_session.h"

#include <QTimer>

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QTemporaryDir;

namespace vistrel {

class TProgramSettings;
class UserPrompts;

// The job's waits; tests shorten them.
struct TPublishTimings {
    int watchdogMs = 60000;          // stall after which the watchdog reconnects
    int startDelayMs = 100;          // before the login
    int connectFailedDelayMs = 4000; // lets the user read "Verbindung konnte nicht hergestellt werden."
    int transferTimeout = 120;       // client Timeout (seconds) while sending
    int deleteTimeout = 30;          // client Timeout (seconds) while deleting everything
    // Reconnections of the watchdog in one run. Each costs a whole watchdog interval, so a server
    // that never confirms a file ends the run after (maxReconnects + 1) intervals: 4 minutes.
    int maxReconnects = 3;
};

// What a run needs: the settings of "Einstellungen/Veröffentlichen", the upload plan, the two
// check boxes of the dialog and the waits.
struct TPublishParams {
    std::string host;             // edFTPServer
    std::string port = "ftp";     // edFTPPort
    std::string user;             // edFTPUser
    std::string password;         // edFTPPassword; empty: asked for when the run starts
    std::string remoteRoot;       // edFTPDirectory
    bool passive = false;         // cbUsePassiveMode
    bool checkServer = false;     // cbCheckServer
    bool useTls = false;          // cbUseTLS: explicit FTPS
    bool requireTls = false;      // cbRequireTLS: no fallback to plain FTP
    bool parallelUploads = false; // cbParallelUploads: up to four sessions send a folder's files
    // The fingerprint trusted for this "host:port" (section TrustedCertificates), or empty.
    std::string trustedFingerprint;
    TUploadPlan plan;
    bool deleteAll = false;   // cbDeleteAll
    bool transferAll = false; // cbTransferAll
    std::filesystem::path transferListFile;
    TPublishTimings timings;
};

// The settings' part of the parameters, as the main window and the settings button take them.
void TakeSettings(TPublishParams& params, const TProgramSettings& settings);
// "host:port" of the parameters' server, the key of its trusted certificate.
std::string HostPort(const TPublishParams& params);

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
    CertificateRejected, // the server's certificate was not trusted; detail: its fingerprint
    Cancelled,           // "Abbrechen"
};
using TPublishResult = TJobResult<TPublishCode>;

// The one German text for a run's end, for the dialog and vistrel-cli alike (Windows-1252). Empty
// for NotStarted, whose reasons were shown as they happened.
std::string PublishMessage(const TPublishResult& result, const std::string& host,
                           const std::string& remoteRoot);

class TPublishJob {
public:
    TPublishJob(TFtpClient& client, UserPrompts& prompts, PublishView& view);
    ~TPublishJob();
    TPublishJob(const TPublishJob&) = delete;
    TPublishJob& operator=(const TPublishJob&) = delete;

    // FormShow: takes the parameters, counts the plan, fills the labels, empties the protocol.
    void Prepare(const TPublishParams& params);
    // After the settings dialog: takes its values and shows them.
    void ShowSettings(const TPublishParams& params);
    // btnTransmitClick. The client's refusal to start the login (busy or still connected)
    // propagates as FtpException after the dialog was made usable again.
    TPublishResult Run(const TPublishParams& params);
    // btnCancelClick (and the deletion window's "Abbrechen").
    void Cancel();
    // FormClose: ends the session.
    void Close();

    std::vector<std::string> FFolders;
    std::string FLocalRoot;
    std::string FRemoteRoot;

    // For tests and the CLI.
    const TTransferList& TransferList() const { return list_; }
    bool ServerHasMlsd() const { return hasMlsd_; }
    const std::string& HostName() const { return client_.HostName; }
    int Reconnects() const { return FReconnects; }
    bool DiskFull() const { return FDiskFull; }
    int TotalFiles() const { return FTotalFiles; }
    int64_t TotalBytes() const { return FTotalBytes; }
    bool WatchdogActive() const { return watchdog_.isActive(); }

    // The internal operations, public so that tests can drive them one by one.
    void Log(const std::string& text);
    void WaitForRequest();
    void Delay(int milliseconds);
    void ChangeRemoteDir(std::string path);
    void UploadFolder();
    void DeleteAll();
    void DeleteRemoteTree(const std::string& folder, int depth = 0);
    // Lists the current remote folder (MLSD where offered, else `fallback`); nothing when the
    // listing failed.
    std::optional<std::vector<std::string>> ListRemoteFolder(const std::string& fallback);

private:
    void WireClient();
    void CountFolder(const std::string& folder);
    bool ConfirmDeletion();
    void Connect();
    void SendFiles();
    void DeleteSentProgramFiles();
    void CheckFolderFiles();
    std::optional<size_t> TakeFile();
    bool Skipped(const std::string& name);
    void SendFile(size_t index);
    void StartSessions();
    void StopSessions();
    bool SessionsBusy() const;
    TUploadSessionHost SessionHost();
    bool PutWatched(const std::string& name);
    void VerificationPass();
    void ClimbBack();
    std::optional<std::vector<std::string>>
    ReceiveListing(const std::string& command, const std::string& argument, bool switchWatchdogOn);
    void AskFeatures();
    TPublishResult Ended(TPublishCode code, std::string detail = {});
    std::filesystem::path ListingFile();
    void Status(const std::string& text);
    void ClearStop();
    void ShowTotals();

    void WatchdogOn();
    void WatchdogOff();
    void WatchdogRestart();
    void Timer1Timer();

    // Client events.
    void FTPClientDisplay(const std::string& message);
    void FTPClientCommand(std::string& command);
    void FTPClientProgress(int64_t count);
    void FTPClientSessionConnected();
    void FTPClientSessionClosed();
    void FTPClientStateChange();
    void FTPClientRequestDone(TFtpRequest request, int error);
    void FTPClientBackgroundException(bool& canClose);
    void UploadRefused();
    void Stop(TPublishCode why);

    void TakeParams(const TPublishParams& params);

    TFtpClient& client_;
    UserPrompts& prompts_;
    PublishView& view_;
    TPublishParams params_;
    TPublishTimings timings_;
    QTimer watchdog_;
    std::unique_ptr<QTemporaryDir> listingDir_;

    std::string FLocalDir;
    std::string FRemoteDir;
    std::vector<std::string> FFiles;
    size_t nextFile_ = 0; // the first of FFiles nobody has taken yet
    std::vector<std::unique_ptr<TUploadSession>> sessions_;
    TTransferList list_;
    bool FStopped = false;
    bool FConnected = false;
    bool FConnectFailed = false;
    bool FRequestDone = false;
    bool FDiskFull = false;
    int FDirDepth = 0;
    int64_t FFileSize = 0;
    int FTotalFiles = 0;
    int64_t FTotalBytes = 0;
    int FFilesDone = 0;
    int64_t FBytesDone = 0;
    int FReconnects = 0;

    // Per name of the folder: its transfer-list line as it is now and whether the list of the last
    // run holds it; and how often each name was refused.
    struct TFileState {
        std::string line;
        bool unchanged = false;
    };
    std::map<std::string, TFileState> folderFiles_;
    std::map<std::string, int> refusals_;
    // Why the run stopped, when something other than the user stopped it.
    TPublishCode stopCode_ = TPublishCode::Completed;
    bool hasMlsd_ = false;
    bool listingFailed_ = false;
    std::string uploadName_; // the name whose upload runs, queued again when it is refused
    bool uploadInProgress_ = false;
    bool gaveUp_ = false;
    bool cbDeleteAll = false;
    bool cbTransferAll = false; // a file was refused so often that it is no longer sent
    bool deleting_ = false;
    bool cancelled_ = false;
    bool running_ = false;
    bool inWatchdog_ = false;
};

} // namespace vistrel
