// The publish run itself: preparing, logging in, walking the upload plan and ending the session.
// The client's events and the watchdog are in publish_events.cpp, the deletion of everything in
// remote_delete.cpp.
#include "publishing/publish_job.h"

#include "common/atomic_file.h"
#include "common/cp1252.h"
#include "common/line_file.h"
#include "common/text_utils.h"
#include "common/user_prompts.h"
#include "publishing/publish_texts.h"
#include "publishing/remote_listing.h"
#include "settings/program_settings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cctype>
#include <set>

namespace vistrel {

using namespace publish_texts;

namespace {

// A listing larger than this is not a listing of a web site folder; it is not read.
constexpr int64_t kMaxListingBytes = 64 * 1024 * 1024;

// Runs the event loop once, sleeping until an event arrives but at most `maxWaitMs`.
void PumpEvents(int maxWaitMs) {
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(std::clamp(maxWaitMs, 1, 50));
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

} // namespace

TPublishJob::TPublishJob(TFtpClient& client, UserPrompts& prompts, PublishView& view)
    : client_(client), prompts_(prompts), view_(view) {
    // The design values of the dialog's client.
    client_.Timeout = timings_.transferTimeout;
    client_.Port = "ftp";
    client_.LocalAddr = "0.0.0.0";
    client_.Binary = true;
    client_.Options = ftpAcceptLF;
    watchdog_.setInterval(timings_.watchdogMs);
    QObject::connect(&watchdog_, &QTimer::timeout, [this] { Timer1Timer(); });
    WireClient();
}

TPublishJob::~TPublishJob() {
    watchdog_.stop();
    client_.OnDisplay = nullptr;
    client_.OnCommand = nullptr;
    client_.OnProgress = nullptr;
    client_.OnSessionConnected = nullptr;
    client_.OnSessionClosed = nullptr;
    client_.OnStateChange = nullptr;
    client_.OnRequestDone = nullptr;
    client_.OnBackgroundException = nullptr;
}

void TakeSettings(TPublishParams& params, const TProgramSettings& settings) {
    params.host = settings.edFTPServer;
    params.port = settings.edFTPPort;
    params.user = settings.edFTPUser;
    params.password = settings.edFTPPassword;
    params.remoteRoot = settings.edFTPDirectory;
    params.passive = settings.cbUsePassiveMode;
    params.checkServer = settings.cbCheckServer;
    params.useTls = settings.cbUseTLS;
    params.requireTls = settings.cbUseTLS && settings.cbRequireTLS;
    params.parallelUploads = settings.cbParallelUploads;
    params.trustedFingerprint = settings.TrustedCertificate(HostPort(params));
}

std::string HostPort(const TPublishParams& params) {
    std::string port = params.port.empty() || params.port == "ftp" ? "21" : params.port;
    return params.host + ":" + port;
}

// Copies the parameters into the client and the job's fields.
void TPublishJob::TakeParams(const TPublishParams& params) {
    params_ = params;
    timings_ = params.timings;
    watchdog_.setInterval(timings_.watchdogMs);
    client_.Port = params.port;
    client_.SetPassive(params.passive);
    client_.HostName = params.host;
    client_.UserName = params.user;
    // A password typed into the prompt stays for the rest of the program run when none is stored.
    if (!params.password.empty()) client_.PassWord = params.password;
    FRemoteRoot = params.remoteRoot;
    client_.UseTls = params.useTls;
    client_.RequireTls = params.requireTls;
    client_.TrustedFingerprint = params.trustedFingerprint;
    FLocalRoot = params.plan.localRoot;
    FFolders = params.plan.folders;
    cbDeleteAll = params.deleteAll;
    cbTransferAll = params.transferAll;
}

void TPublishJob::Log(const std::string& text) {
    std::string line = text;
    size_t pass = line.find("PASS");
    if (pass != std::string::npos) line.erase(pass + 4, 255);
    view_.Log(line);
}

void TPublishJob::Status(const std::string& text) {
    view_.SetLabel(TPublishLabel::lbStatus, text);
}

void TPublishJob::CountFolder(const std::string& folder) {
    TFolderFiles files = ListPlanFolder(folder);
    FTotalFiles += static_cast<int>(files.names.size());
    for (const std::string& name : files.names)
        FTotalBytes += std::max<int64_t>(LocalFileSize(folder + name), 0);
}

void TPublishJob::Prepare(const TPublishParams& params) {
    TakeParams(params);
    cbDeleteAll = false;
    cbTransferAll = false;
    FFiles.clear();
    list_ = TTransferList();
    FConnected = FStopped = FRequestDone = FConnectFailed = false;
    view_.ClearLog();
    FBytesDone = 0;
    FTotalBytes = 0;
    FTotalFiles = 0;
    for (const std::string& folder : FFolders)
        CountFolder(folder);
    Log("Anzahl der Verzeichnisse: " + std::to_string(FFolders.size()));
    Log("Anzahl der Dateien: " + std::to_string(FTotalFiles));
    Log("Insgesamt: " + std::to_string(FTotalBytes) + " Bytes");
    view_.SetLabel(TPublishLabel::lbHost, client_.HostName);
    view_.SetLabel(TPublishLabel::lbUser, client_.UserName);
    view_.SetLabel(TPublishLabel::lbDir, FRemoteRoot);
    Status(Text(kNotConnected));
    view_.ShowTotals(0, FTotalFiles, 0, FTotalBytes, false);
    for (TPublishLabel label :
         {TPublishLabel::lbLocalDir, TPublishLabel::lbRemoteDir, TPublishLabel::lbDirFiles,
          TPublishLabel::lbDirKbytes, TPublishLabel::lbFilename, TPublishLabel::lbFileBytes})
        view_.SetLabel(label, {});
    view_.SetTotalBar(0, FTotalFiles);
    view_.SetFileBar(0, 0);
}

void TPublishJob::ShowSettings(const TPublishParams& params) {
    TakeParams(params);
    view_.SetLabel(TPublishLabel::lbHost, client_.HostName);
    view_.SetLabel(TPublishLabel::lbUser, client_.UserName);
    view_.SetLabel(TPublishLabel::lbDir, FRemoteRoot);
    Status(Text(kNotConnected));
}

// No unchecks the box and goes on without deleting; Cancel ends the job.
bool TPublishJob::ConfirmDeletion() {
    auto ask = [this](const char* question) {
        Answer answer = prompts_.AskYesNoCancel(Text(question));
        if (answer == Answer::No) {
            cbDeleteAll = false;
            view_.DeleteAllUnchecked();
        }
        return answer != Answer::Cancel;
    };
    if (!ask(kAskDeleteAll)) return false;
    std::string root = params_.remoteRoot;
    if (cbDeleteAll && (root.empty() || root == "/") && !ask(kAskDeleteRoot)) return false;
    return true;
}

// Waits in earnest only for the login (FRequestDone stays set afterwards), and that wait has the
// client's time-out too: a server that accepts the connection and never greets ends the run.
void TPublishJob::WaitForRequest() {
    QElapsedTimer waited;
    waited.start();
    const int64_t limit = client_.TimeoutMs > 0 ? client_.TimeoutMs : int64_t{client_.Timeout} * 1000;
    for (;;) {
        QCoreApplication::processEvents();
        if (FRequestDone || FStopped) return;
        if (limit > 0 && waited.elapsed() > limit) {
            Log(Text(kNoAnswer));
            client_.Abort();
            FConnected = false;
            FConnectFailed = true;
            Stop(TPublishCode::LoginFailed);
            return;
        }
        PumpEvents(50);
    }
}

void TPublishJob::Delay(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() <= milliseconds)
        PumpEvents(static_cast<int>(milliseconds - timer.elapsed()) + 1);
}

TPublishResult TPublishJob::Run(const TPublishParams& params) {
    if (running_) return {TPublishCode::NotStarted, "a run is going"};
    TakeParams(params);
    if (client_.HostName.empty()) {
        // The caller opens the settings, as "&Einstellungen..." does.
        prompts_.ShowMessage(Text(kIncomplete), MessageKind::Information);
        return {TPublishCode::NoHost, "no FTP host"};
    }
    if (cbDeleteAll && !ConfirmDeletion()) return {TPublishCode::NotStarted, "deletion not confirmed"};
    if (client_.PassWord.empty()) {
        std::optional<std::string> password = view_.AskPassword();
        if (!password) return {TPublishCode::NotStarted, "no password"};
        client_.PassWord = *password;
    }
    FRemoteRoot = WithTrailingSlash(FRemoteRoot);
    // Sending everything and deleting everything both begin by forgetting what the server holds.
    list_.Open(params_.transferListFile, client_.HostName, FRemoteRoot, cbTransferAll || cbDeleteAll);

    struct TRunGuard {
        TPublishJob& job;
        ~TRunGuard() {
            job.WatchdogOff();
            job.running_ = false;
            job.deleting_ = false;
            job.view_.SetIdle(true);
        }
    } guard{*this};
    running_ = true;
    cancelled_ = gaveUp_ = hasMlsd_ = false;
    stopCode_ = TPublishCode::Completed;
    uploadInProgress_ = false;

    Delay(timings_.startDelayMs);
    view_.SetIdle(false);
    FFilesDone = 0;
    FReconnects = 0;
    Connect();
    if (FConnectFailed || !FConnected) {
        if (cancelled_) return Ended(TPublishCode::Cancelled);
        if (!client_.UntrustedFingerprint().empty())
            return Ended(TPublishCode::CertificateRejected, client_.UntrustedFingerprint());
        if (client_.TlsRefused()) return Ended(TPublishCode::TlsRefused);
        return Ended(stopCode_ == TPublishCode::BadPassword ? TPublishCode::BadPassword
                                                            : TPublishCode::LoginFailed);
    }
    AskFeatures();
    if (cbDeleteAll) {
        DeleteAll();
        if (FStopped) {
            if (FConnected) client_.Quit();
            return Ended(cancelled_ ? TPublishCode::Cancelled : TPublishCode::DeleteFailed);
        }
    }
    for (const std::string& folder : FFolders) {
        FLocalDir = folder;
        FRemoteDir = RemoteFolderFor(FLocalRoot, FRemoteRoot, folder);
        if (FConnected) UploadFolder();
        if (FStopped) break;
        if (client_.Connected()) WaitForRequest();
    }
    WatchdogOff();
    WaitForRequest();
    TPublishCode code = TPublishCode::Completed;
    if (cancelled_)
        code = TPublishCode::Cancelled;
    else if (FDiskFull)
        code = TPublishCode::DiskFull;
    else if (FStopped && stopCode_ != TPublishCode::Completed)
        code = stopCode_;
    else if (!FConnected)
        code = TPublishCode::ConnectionLost;
    else if (gaveUp_)
        code = TPublishCode::Refused;
    if (FConnected) {
        Log(Text(kEnding));
        Status(Text(kEnding));
        client_.Quit();
        WatchdogOff();
    }
    if (code == TPublishCode::DiskFull) {
        Status(Text(kDiskFullStatus));
        prompts_.ShowMessage(Text(kDiskFullStatus), MessageKind::Error);
    } else if (code == TPublishCode::Completed) {
        Status(Text(kSucceeded));
        prompts_.ShowMessage(FormatMessage(Text(kFinished), {client_.HostName, FRemoteRoot}),
                             MessageKind::Information);
        view_.CloseDialog();
    }
    return Ended(code);
}

// The end of every run that got as far as connecting: the transfer list's last write and, unless
// it succeeded, the closing line that says what happened and what to do.
TPublishResult TPublishJob::Ended(TPublishCode code, std::string detail) {
    WatchdogOff();
    list_.Finish(code == TPublishCode::Completed);
    if (list_.WriteFailed()) Log(Text(kListNotWritten));
    listingDir_.reset();
    TPublishResult result{code, detail.empty() ? client_.ErrorMessage() : std::move(detail)};
    if (code != TPublishCode::Completed) {
        if (code != TPublishCode::DiskFull)
            Status(Text(code == TPublishCode::Cancelled ? kCancelled : kNotCompleted));
        Log(PublishMessage(result, client_.HostName, FRemoteRoot));
    }
    return result;
}

void TPublishJob::Connect() {
    std::string connecting = FormatMessage(Text(kConnecting), {client_.HostName});
    Log(connecting);
    Status(connecting);
    client_.Timeout = timings_.transferTimeout;
    client_.ConnectAsync();
    WaitForRequest();
    if (!FConnected || FConnectFailed) {
        Log(Text(kNoConnection));
        Status(Text(kNoConnection));
        Delay(timings_.connectFailedDelayMs);
        return;
    }
    // The protocol window says whether anything goes in clear text.
    std::string secured =
        client_.Encrypted() ? FormatMessage(Text(kEncrypted), {client_.TlsVersion()}) : Text(kNotEncrypted);
    Log(secured);
    Status(Text(client_.Encrypted() ? kConnectedEncrypted : kConnectedPlain));
}

// FEAT tells whether the server lists folders by MLSD (RFC 3659: MLST implies MLSD), which gives
// exact names and types. A server without FEAT simply has none of the features.
void TPublishJob::AskFeatures() {
    WaitForRequest();
    if (!client_.Feat()) return;
    for (const std::string& line : client_.LastReply().lines) {
        std::string feature = line;
        feature.erase(0, feature.find_first_not_of(' '));
        for (char& c : feature)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (feature.rfind("MLST", 0) == 0 || feature.rfind("MLSD", 0) == 0) hasMlsd_ = true;
    }
}

void TPublishJob::Cancel() {
    FStopped = true;
    cancelled_ = true;
    Log(Text(kCancelled));
    client_.Abort();
    FConnected = false;
    view_.CloseDialog();
}

void TPublishJob::Close() {
    WatchdogOff();
    FFiles.clear();
    if (client_.Connected() && !running_) client_.Quit();
}

void TPublishJob::Stop(TPublishCode why) {
    FStopped = true;
    stopCode_ = why;
}

void TPublishJob::ClearStop() {
    FStopped = false;
    stopCode_ = TPublishCode::Completed;
}

// ---- one folder ---------------------------------------------------------------------------------

void TPublishJob::UploadFolder() {
    ClearStop();
    client_.Timeout = timings_.transferTimeout;
    if (!FConnected) {
        Log(Text(kDisconnected));
        return;
    }
    WaitForRequest();
    client_.Binary = true;
    client_.TypeSet();
    view_.SetLabel(TPublishLabel::lbRemoteDir, FRemoteDir);
    ChangeRemoteDir(FRemoteDir);
    WaitForRequest();
    if (!FStopped) DeleteSentProgramFiles();

    view_.SetLabel(TPublishLabel::lbLocalDir, FLocalDir);
    TFolderFiles files = ListPlanFolder(FLocalDir);
    FFiles = files.names;
    refusals_.clear();
    view_.ShowFolderSize(static_cast<int>(FFiles.size()), files.bytes);
    Log(Text(kTransfer));
    FDiskFull = false;
    if (!FStopped) CheckFolderFiles();
    SendFiles();
    if (!FStopped && params_.checkServer) VerificationPass();
    list_.Flush(true);
    if (!FStopped) ClimbBack();
}

// Copies of the program's own list files that an earlier run sent leave the server: they name every
// album with its texts, unpublished ones included. A refusal is only logged, like every DELE.
void TPublishJob::DeleteSentProgramFiles() {
    for (const std::string& name : ProgramFilesSentFrom(list_.Old(), FLocalDir)) {
        client_.HostFileName = name;
        client_.Dele();
        WaitForRequest();
        list_.Forget({FLocalDir + name});
        if (FStopped) return;
    }
}

// Decides for every file of the folder whether it is sent, and takes the lines of those that are
// out of the stored transfer list in one write before the first of them goes out.
void TPublishJob::CheckFolderFiles() {
    folderFiles_.clear();
    std::vector<std::string> changed;
    for (const std::string& name : FFiles) {
        const std::string path = FLocalDir + name;
        TFileState state;
        state.unchanged = list_.IsUnchanged(path, LocalFileSize(path), state.line);
        if (!state.unchanged) changed.push_back(path);
        folderFiles_[name] = state;
        view_.ProcessEvents();
    }
    list_.Forget(changed);
}

void TPublishJob::ClimbBack() {
    Log(Text(kClimb));
    for (int level = 0; level < FDirDepth; ++level) {
        WaitForRequest();
        client_.CDup();
    }
}

// Files are taken in order from FFiles, which grows when a file is queued again; extra sessions
// take theirs from the same place. At the end the main session waits for them.
void TPublishJob::SendFiles() {
    nextFile_ = 0;
    StartSessions();
    for (;;) {
        std::optional<size_t> index = TakeFile();
        if (!index) {
            if (FStopped || !SessionsBusy()) break;
            WatchdogOff(); // the sessions have stall timers of their own
            PumpEvents(50);
            continue;
        }
        SendFile(*index);
        ++FFilesDone;
        FBytesDone += std::max<int64_t>(FFileSize, 0);
        ShowTotals();
        if (FStopped) break;
    }
    StopSessions();
}

std::optional<size_t> TPublishJob::TakeFile() {
    if (nextFile_ >= FFiles.size()) return std::nullopt;
    return nextFile_++;
}

// An unchanged file is only logged.
bool TPublishJob::Skipped(const std::string& name) {
    if (!folderFiles_[name].unchanged) return false;
    Log(Text(kSkip) + FLocalDir + name);
    return true;
}

void TPublishJob::SendFile(size_t index) {
    const std::string name = FFiles[index];
    const std::string path = FLocalDir + name;
    client_.LocalFileName = path;
    view_.SetLabel(TPublishLabel::lbFilename, name);
    FFileSize = LocalFileSize(path);
    view_.SetFileBar(0, FFileSize);
    client_.HostFileName = name;
    if (Skipped(name) || FStopped) return;
    if (PutWatched(name)) list_.Confirm(folderFiles_[name].line);
}

// One STOR under the watchdog; true when the server confirmed the file.
bool TPublishJob::PutWatched(const std::string& name) {
    WaitForRequest();
    WatchdogOn();
    uploadName_ = name;
    uploadInProgress_ = true;
    bool sent = client_.Put();
    uploadInProgress_ = false;
    return sent;
}

void TPublishJob::ShowTotals() {
    view_.ShowTotals(FFilesDone, FTotalFiles, FBytesDone, FTotalBytes, true);
    view_.SetTotalBar(FFilesDone, FTotalFiles);
}

// The server check: the files of the folder that the server's listing lacks are sent again. A
// listing that fails is no reason to end the run: then every file of the folder is sent again.
void TPublishJob::VerificationPass() {
    Log(Text(kChecking));
    WaitForRequest();
    view_.SetLabel(TPublishLabel::lbFilename, Text(kFileList));
    FFileSize = -1;
    view_.SetFileBar(0, 16384);
    std::optional<std::vector<std::string>> listing = ListRemoteFolder("NLST");
    if (FStopped) return;
    std::set<std::string> present;
    if (listing) {
        for (const std::string& line : *listing) {
            if (!hasMlsd_) {
                present.insert(NlstName(line));
                continue;
            }
            TListingLine entry = ParseMlsdLine(line);
            if (entry.kind == TListingEntry::File) present.insert(entry.name);
        }
    }
    std::set<std::string> checked;
    const size_t count = FFiles.size();
    for (size_t i = 0; i < count; ++i) {
        const std::string name = FFiles[i];
        if (!checked.insert(name).second || present.count(name)) continue;
        Log(Text(kResend) + name);
        const std::string path = FLocalDir + name;
        view_.SetFileBar(0, LocalFileSize(path));
        client_.HostFileName = name;
        client_.LocalFileName = path;
        view_.SetLabel(TPublishLabel::lbFilename, name);
        TFileState& state = folderFiles_[name];
        list_.Forget({path});
        if (PutWatched(name)) list_.Confirm(state.line);
        if (FStopped) break;
    }
    Log(Text(listing ? kCheckDone : kCheckImpossible));
}

std::filesystem::path TPublishJob::ListingFile() {
    if (!listingDir_) listingDir_ = std::make_unique<QTemporaryDir>();
    if (!listingDir_->isValid()) return "filelist.$$$";
    return std::filesystem::path(listingDir_->path().toStdString()) / "filelist.$$$";
}

std::optional<std::vector<std::string>> TPublishJob::ListRemoteFolder(const std::string& fallback) {
    if (hasMlsd_) return ReceiveListing("MLSD", {}, !deleting_);
    if (fallback == "LIST") return ReceiveListing("LIST", "-a", !deleting_);
    return ReceiveListing(fallback, {}, !deleting_);
}

// Listings go over the data connection the settings choose, like every transfer: a PORT listing
// fails behind NAT and most firewalls.
std::optional<std::vector<std::string>>
TPublishJob::ReceiveListing(const std::string& command, const std::string& argument, bool switchWatchdogOn) {
    std::filesystem::path file = ListingFile();
    client_.LocalFileName = file.string();
    client_.HostFileName = argument;
    client_.ListCommand = command;
    if (switchWatchdogOn) WatchdogOn();
    bool listed = client_.Ls();
    WaitForRequest();
    client_.ListCommand = "NLST";
    std::vector<std::string> lines;
    std::error_code ec;
    auto size = std::filesystem::file_size(file, ec);
    bool read = !ec && size <= static_cast<uintmax_t>(kMaxListingBytes) && ReadLineFile(file, lines);
    std::filesystem::remove(file, ec);
    if (!listed || !read) return std::nullopt;
    return lines;
}

// ---- remote folders -----------------------------------------------------------------------------

void TPublishJob::ChangeRemoteDir(std::string path) {
    Log(Text(kChangeDir));
    if (path.empty() || static_cast<unsigned char>(path[0]) < '!') return;
    ClearStop();
    FDirDepth = 0;
    for (const std::string& part : RemoteFolderParts(path)) {
        WaitForRequest();
        ClearStop();
        client_.HostFileName = part;
        client_.Mkd();
        WaitForRequest();
        ClearStop();
        client_.HostDirName = part;
        // A folder that cannot be entered stops here: going on would put the rest of the path, and
        // every file, in the wrong place, and the climb back would leave the login folder.
        if (!client_.Cwd()) {
            Stop(TPublishCode::Refused);
            return;
        }
        ++FDirDepth;
    }
}

} // namespace vistrel
