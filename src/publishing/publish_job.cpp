// The publish run itself: preparing, logging in, walking the upload plan and ending the session.
// The client's events and the watchdog are in publish_events.cpp, the deletion of everything in
// remote_delete.cpp.
#include "publishing/publish_job.h"

#include "settings/program_settings.h"
#include "common/atomic_file.h"
#include "common/cp1252.h"
#include "common/line_file.h"
#include "common/text_utils.h"
#include "common/user_prompts.h"
#include "publishing/publish_texts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <set>

namespace vistrel {

using namespace publish_texts;

namespace publish_texts {
std::string Text(const char* utf8) { return Utf8ToAnsi(utf8); }
} // namespace publish_texts

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

std::string Mbytes(int64_t bytes, char separator) { return FixedText(static_cast<double>(bytes) / 1048576.0, 3, separator); }
std::string Kbytes(int64_t bytes, char separator) { return FixedText(static_cast<double>(bytes) / 1024.0, 1, separator); }

} // namespace

TPublishJob::TPublishJob(TFtpClient& client, TProgramSettings& settings, UserPrompts& prompts, PublishView& view,
                         std::filesystem::path transferListFile, TPublishTimings timings)
    : client_(client), settings_(settings), prompts_(prompts), view_(view),
      transferListFile_(std::move(transferListFile)), timings_(timings) {
    // The design values of the dialog's client.
    client_.Timeout = timings_.transferTimeout;
    client_.MultiThreaded = true;
    client_.Port = "ftp";
    client_.LocalAddr = "0.0.0.0";
    client_.DisplayFileFlag = false;
    client_.Binary = true;
    client_.ShareMode = ftpShareExclusive;
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

void TPublishJob::TakeSettings() {
    client_.Port = settings_.edFTPPort;
    client_.SetPassive(settings_.cbUsePassiveMode);
    client_.HostName = settings_.edFTPServer;
    client_.UserName = settings_.edFTPUser;
    // A password typed into the prompt stays for the rest of the program run when none is stored.
    if (!settings_.edFTPPassword.empty()) client_.PassWord = settings_.edFTPPassword;
    FRemoteRoot = settings_.edFTPDirectory;
}

void TPublishJob::SetPlan(const TUploadPlan& plan) {
    FLocalRoot = plan.localRoot;
    FFolders = plan.folders;
}

void TPublishJob::Log(const std::string& text) {
    std::string line = text;
    size_t pass = line.find("PASS");
    if (pass != std::string::npos) line.erase(pass + 4, 255);
    view_.Log(line);
}

void TPublishJob::Status(const std::string& text) { view_.SetLabel(TPublishLabel::lbStatus, text); }

void TPublishJob::CountFolder(const std::string& folder) {
    TFolderFiles files = ListPlanFolder(folder);
    FTotalFiles += static_cast<int>(files.names.size());
    for (const std::string& name : files.names) FTotalBytes += std::max<int64_t>(LocalFileSize(folder + name), 0);
}

void TPublishJob::Prepare() {
    cbDeleteAll = false;
    cbTransferAll = false;
    FFiles.clear();
    list_ = TTransferList();
    FConnected = FStopped = FRequestDone = FConnectFailed = false;
    view_.ClearLog();
    FBytesDone = 0;
    FTotalBytes = 0;
    FTotalFiles = 0;
    for (const std::string& folder : FFolders) CountFolder(folder);
    Log("Anzahl der Verzeichnisse: " + std::to_string(FFolders.size()));
    Log("Anzahl der Dateien: " + std::to_string(FTotalFiles));
    Log("Insgesamt: " + std::to_string(FTotalBytes) + " Bytes");
    view_.SetLabel(TPublishLabel::lbHost, client_.HostName);
    view_.SetLabel(TPublishLabel::lbUser, client_.UserName);
    view_.SetLabel(TPublishLabel::lbDir, FRemoteRoot);
    Status(Text(kNotConnected));
    view_.SetLabel(TPublishLabel::lbTotalFiles, "0 von " + std::to_string(FTotalFiles));
    view_.SetLabel(TPublishLabel::lbTotalBytes, "0 von " + Mbytes(FTotalBytes, decimalSeparator) + " MBytes");
    for (TPublishLabel label : {TPublishLabel::lbLocalDir, TPublishLabel::lbRemoteDir, TPublishLabel::lbDirFiles,
                                TPublishLabel::lbDirKbytes, TPublishLabel::lbFilename, TPublishLabel::lbFileBytes})
        view_.SetLabel(label, {});
    view_.SetTotalBar(0, FTotalFiles);
    view_.SetFileBar(0, 0);
}

void TPublishJob::EditSettings() {
    view_.EditPublishSettings();
    TakeSettings();
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
    std::string root = settings_.edFTPDirectory;
    if (cbDeleteAll && (root.empty() || root == "/") && !ask(kAskDeleteRoot)) return false;
    return true;
}

void TPublishJob::WaitForRequest() {
    for (;;) {
        QCoreApplication::processEvents();
        if (FRequestDone || FStopped) return;
        PumpEvents(50);
    }
}

void TPublishJob::Delay(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() <= milliseconds) PumpEvents(static_cast<int>(milliseconds - timer.elapsed()) + 1);
}

TPublishOutcome TPublishJob::Run() {
    if (running_) return TPublishOutcome::NotStarted;
    if (client_.HostName.empty()) {
        prompts_.ShowMessage(Text(kIncomplete), MessageKind::Information);
        EditSettings();
        return TPublishOutcome::NotStarted;
    }
    if (cbDeleteAll && !ConfirmDeletion()) return TPublishOutcome::NotStarted;
    if (client_.PassWord.empty()) {
        std::optional<std::string> password = view_.AskPassword();
        if (!password) return TPublishOutcome::NotStarted;
        client_.PassWord = *password;
    }
    FRemoteRoot = WithTrailingSlash(FRemoteRoot);
    list_.LoadOld(transferListFile_, client_.HostName, FRemoteRoot, cbTransferAll);
    list_.StartNew(client_.HostName, FRemoteRoot);

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
    errorStop_ = cancelled_ = false;
    uploadInProgress_ = false;
    pendingLine_ = kNoLine;

    Delay(timings_.startDelayMs);
    view_.SetIdle(false);
    FFilesDone = 0;
    FReconnects = 0;
    Connect();
    if (FConnectFailed) {
        FinishRun();
        return cancelled_ ? TPublishOutcome::Cancelled : TPublishOutcome::Failed;
    }
    if (cbDeleteAll) {
        DeleteAll();
        list_.ClearOld();
        if (FStopped) {
            // The deletion was cut short: the old list stays, since nobody knows what is left.
            if (FConnected) client_.Quit();
            return cancelled_ ? TPublishOutcome::Cancelled : TPublishOutcome::Failed;
        }
    }
    for (const std::string& folder : FFolders) {
        FLocalDir = folder;
        FRemoteDir = RemoteFolderFor(FLocalRoot, FRemoteRoot, folder);
        if (FConnected) UploadFolder();
        if (FStopped) {
            if (!cancelled_) errorStop_ = true;
            break;
        }
        if (client_.Connected()) WaitForRequest();
    }
    bool completed = false;
    WatchdogOff();
    WaitForRequest();
    if (FConnected) {
        Log(Text(kEnding));
        Status(Text(kEnding));
        client_.Quit();
        WatchdogOff();
        if (FDiskFull) {
            Status(Text(kDiskFullStatus));
            prompts_.ShowMessage(Text(kDiskFullStatus), MessageKind::Error);
        } else if (errorStop_) {
            // A request that stopped the job is no success: the protocol shows which one.
            Status(Text(kCancelled));
        } else {
            Status(Text(kSucceeded));
            prompts_.ShowMessage(FormatMessage(Text(kFinished), {client_.HostName, FRemoteRoot}),
                                 MessageKind::Information);
            view_.CloseDialog();
            completed = true;
        }
    }
    FinishRun();
    if (completed) return TPublishOutcome::Completed;
    return cancelled_ ? TPublishOutcome::Cancelled : TPublishOutcome::Failed;
}

void TPublishJob::Connect() {
    std::string connecting = FormatMessage(Text(kConnecting), {client_.HostName});
    Log(connecting);
    Status(connecting);
    client_.Timeout = timings_.transferTimeout;
    client_.ConnectAsync();
    WaitForRequest();
    if (!FConnected) {
        Log(Text(kNoConnection));
        Status(Text(kNoConnection));
        Delay(timings_.connectFailedDelayMs);
    }
}

void TPublishJob::FinishRun() {
    try {
        list_.Write(transferListFile_);
    } catch (const EFileWriteError&) {
        // The design ignores it: the next run then sends more than needed, nothing is lost.
    }
    listingDir_.reset();
}

void TPublishJob::Cancel() {
    FStopped = true;
    cancelled_ = true;
    Log(Text(kCancelled));
    client_.Abort();
    FConnected = false;
    DropPending();
    view_.CloseDialog();
}

void TPublishJob::Close() {
    WatchdogOff();
    FFiles.clear();
    if (client_.Connected() && !running_) client_.Quit();
}

void TPublishJob::DropPending() {
    if (pendingLine_ != kNoLine) list_.Drop(pendingLine_);
    pendingLine_ = kNoLine;
}

// ---- one folder ---------------------------------------------------------------------------------

void TPublishJob::UploadFolder() {
    FStopped = false;
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

    view_.SetLabel(TPublishLabel::lbLocalDir, FLocalDir);
    TFolderFiles files = ListPlanFolder(FLocalDir);
    FFiles = files.names;
    folderLines_.clear();
    refusals_.clear();
    view_.SetLabel(TPublishLabel::lbDirFiles, std::to_string(FFiles.size()));
    view_.SetLabel(TPublishLabel::lbDirKbytes, Kbytes(files.bytes, decimalSeparator) + " KBytes");
    Log(Text(kTransfer));
    FDiskFull = false;
    SendFiles();
    if (!FStopped && settings_.cbCheckServer) {
        VerificationPass();
        Log(Text(kCheckDone));
    }
    if (!FStopped) ClimbBack();
}

void TPublishJob::ClimbBack() {
    Log(Text(kClimb));
    for (int level = 0; level < FDirDepth; ++level) {
        WaitForRequest();
        client_.CDup();
    }
}

// The count is read again every round: names queued again during the loop are sent at its end.
void TPublishJob::SendFiles() {
    for (size_t i = 0; i < FFiles.size(); ++i) {
        SendFile(i);
        ++FFilesDone;
        FBytesDone += FFileSize;
        ShowTotals();
        if (FStopped) break;
    }
}

void TPublishJob::SendFile(size_t index) {
    const std::string name = FFiles[index];
    const std::string path = FLocalDir + name;
    client_.LocalFileName = path;
    view_.SetLabel(TPublishLabel::lbFilename, name);
    FFileSize = LocalFileSize(path);
    view_.SetFileBar(0, FFileSize);
    client_.HostFileName = name;
    size_t line = kNoLine;
    bool unchanged = list_.IsUnchanged(path, FFileSize, line);
    folderLines_[name] = line;
    if (unchanged) {
        Log(Text(kSkip) + path);
        return;
    }
    if (FStopped) {
        // Not sent, so not recorded: the next run must send it.
        list_.Drop(line);
        return;
    }
    PutWatched(name, line);
}

// One STOR under the watchdog. The file's transfer-list line stays only when the upload succeeded.
void TPublishJob::PutWatched(const std::string& name, size_t line) {
    WaitForRequest();
    WatchdogOn();
    pendingLine_ = line;
    uploadName_ = name;
    uploadInProgress_ = true;
    bool sent = client_.Put();
    uploadInProgress_ = false;
    if (!sent) DropPending();
    pendingLine_ = kNoLine;
}

void TPublishJob::ShowTotals() {
    view_.SetLabel(TPublishLabel::lbTotalFiles,
                   std::to_string(FFilesDone) + " von " + std::to_string(FTotalFiles) + " Dateien");
    view_.SetLabel(TPublishLabel::lbTotalBytes, Mbytes(FBytesDone, decimalSeparator) + " von " +
                                                    Mbytes(FTotalBytes, decimalSeparator) + " MBytes");
    view_.SetTotalBar(FFilesDone, FTotalFiles);
}

void TPublishJob::VerificationPass() {
    Log(Text(kChecking));
    WaitForRequest();
    view_.SetLabel(TPublishLabel::lbFilename, Text(kFileList));
    FFileSize = -1;
    view_.SetFileBar(0, 16384);
    std::vector<std::string> listing = ReceiveListing("*", true);
    if (FStopped) return;
    std::sort(listing.begin(), listing.end());
    std::set<std::string> checked;
    const size_t count = FFiles.size();
    for (size_t i = 0; i < count; ++i) {
        const std::string name = FFiles[i];
        if (!checked.insert(name).second) continue;
        if (std::binary_search(listing.begin(), listing.end(), name)) continue;
        Log(Text(kResend) + name);
        view_.SetFileBar(0, LocalFileSize(FLocalDir + name));
        client_.HostFileName = name;
        client_.LocalFileName = FLocalDir + name;
        view_.SetLabel(TPublishLabel::lbFilename, name);
        auto line = folderLines_.find(name);
        PutWatched(name, line == folderLines_.end() ? kNoLine : line->second);
        if (FStopped) break;
    }
}

std::filesystem::path TPublishJob::ListingFile() {
    if (!listingDir_) listingDir_ = std::make_unique<QTemporaryDir>();
    if (!listingDir_->isValid()) return "filelist.$$$";
    return std::filesystem::path(listingDir_->path().toStdString()) / "filelist.$$$";
}

// Server listings always go over an active (PORT) data connection, whatever the setting says.
std::vector<std::string> TPublishJob::ReceiveListing(const std::string& argument, bool switchWatchdogOn) {
    std::filesystem::path file = ListingFile();
    client_.SetPassive(false);
    client_.LocalFileName = file.string();
    client_.HostFileName = argument;
    if (switchWatchdogOn) WatchdogOn();
    client_.Ls();
    WaitForRequest();
    client_.SetPassive(settings_.cbUsePassiveMode);
    std::vector<std::string> lines;
    std::error_code ec;
    auto size = std::filesystem::file_size(file, ec);
    if (!ec && size <= static_cast<uintmax_t>(kMaxListingBytes)) ReadLineFile(file, lines);
    std::filesystem::remove(file, ec);
    return lines;
}

// ---- remote folders -----------------------------------------------------------------------------

void TPublishJob::ChangeRemoteDir(std::string path) {
    Log(Text(kChangeDir));
    if (path.empty() || static_cast<unsigned char>(path[0]) < '!') return;
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.back() != '/') path += '/';
    FStopped = false;
    FDirDepth = 0;
    for (std::string part = NextPathPart(path); !part.empty(); part = NextPathPart(path)) {
        WaitForRequest();
        FStopped = false;
        client_.HostFileName = part;
        client_.Mkd();
        WaitForRequest();
        FStopped = false;
        client_.HostDirName = part;
        // A folder that cannot be entered stops here: going on would put the rest of the path, and
        // every file, in the wrong place, and the climb back would leave the login folder.
        if (!client_.Cwd()) {
            FStopped = true;
            return;
        }
        ++FDirDepth;
    }
}

} // namespace vistrel
