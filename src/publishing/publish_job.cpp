// The publish run itself: preparing, logging in, walking the upload plan and ending the session.
// The main session's requests, events and watchdog are in publish_requests.cpp, the remote
// folders in remote_folders.cpp, one folder's files in folder_sender.cpp.
#include "publishing/publish_job.h"

#include "common/text_utils.h"
#include "common/user_prompts.h"
#include "publishing/connection_settings.h"
#include "publishing/publish_texts.h"
#include "settings/program_settings.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>

namespace vistrel {

using namespace publish_texts;

TPublishJob::TPublishJob(UserPrompts& prompts, PublishView& view, TRemoteSiteFactory factory)
    : prompts_(prompts), view_(view), factory_(std::move(factory)) {
    watchdog_.setInterval(timings_.watchdogMs);
    QObject::connect(&watchdog_, &QTimer::timeout, [this] { WatchdogFired(); });
}

TPublishJob::~TPublishJob() {
    watchdog_.stop();
    StopSessions();
    if (site_) site_->SetEvents({});
}

void TakeSettings(TPublishParams& params, const TProgramSettings& settings) {
    params.connection = ConnectionSettingsFrom(settings);
}

// Takes the parameters; a password typed into the prompt stays for the next runs when none is
// stored.
void TPublishJob::TakeParams(const TPublishParams& params) {
    params_ = params;
    if (params_.connection.password.empty()) params_.connection.password = typedPassword_;
    timings_ = params.timings;
    watchdog_.setInterval(timings_.watchdogMs);
    remoteRoot_ = params.connection.remoteRoot;
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
    totalFiles_ += static_cast<int>(files.names.size());
    for (const std::string& name : files.names)
        totalBytes_ += std::max<int64_t>(LocalFileSize(folder + name), 0);
}

void TPublishJob::Prepare(const TPublishParams& params) {
    TakeParams(params);
    params_.deleteAll = params_.transferAll = false;
    files_.clear();
    list_ = TTransferList();
    stop_.reset();
    view_.ClearLog();
    bytesDone_ = 0;
    totalBytes_ = 0;
    totalFiles_ = 0;
    for (const std::string& folder : params_.plan.folders)
        CountFolder(folder);
    Log("Anzahl der Verzeichnisse: " + std::to_string(params_.plan.folders.size()));
    Log("Anzahl der Dateien: " + std::to_string(totalFiles_));
    Log("Insgesamt: " + std::to_string(totalBytes_) + " Bytes");
    ShowSettings(params);
    view_.ShowTotals(0, totalFiles_, 0, totalBytes_, false);
    for (TPublishLabel label :
         {TPublishLabel::lbLocalDir, TPublishLabel::lbRemoteDir, TPublishLabel::lbDirFiles,
          TPublishLabel::lbDirKbytes, TPublishLabel::lbFilename, TPublishLabel::lbFileBytes})
        view_.SetLabel(label, {});
    view_.SetTotalBar(0, totalFiles_);
    view_.SetFileBar(0, 0);
}

void TPublishJob::ShowSettings(const TPublishParams& params) {
    const bool deleteAll = params_.deleteAll;
    const bool transferAll = params_.transferAll;
    TakeParams(params);
    params_.deleteAll = deleteAll;
    params_.transferAll = transferAll;
    view_.SetLabel(TPublishLabel::lbHost, params_.connection.host);
    view_.SetLabel(TPublishLabel::lbUser, params_.connection.user);
    view_.SetLabel(TPublishLabel::lbDir, remoteRoot_);
    Status(Text(kNotConnected));
}

// No unchecks the box and goes on without deleting; Cancel ends the job.
bool TPublishJob::ConfirmDeletion() {
    auto ask = [this](const char* question) {
        Answer answer = prompts_.AskYesNoCancel(Text(question));
        if (answer == Answer::No) {
            params_.deleteAll = false;
            view_.DeleteAllUnchecked();
        }
        return answer != Answer::Cancel;
    };
    if (!ask(kAskDeleteAll)) return false;
    const std::string& root = params_.connection.remoteRoot;
    if (params_.deleteAll && (root.empty() || root == "/") && !ask(kAskDeleteRoot)) return false;
    return true;
}

void TPublishJob::Delay(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() <= milliseconds) {
        QTimer wake;
        wake.setSingleShot(true);
        wake.start(std::clamp(static_cast<int>(milliseconds - timer.elapsed()) + 1, 1, 50));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

TPublishResult TPublishJob::Run(const TPublishParams& params) {
    if (state_ != TRunState::Idle) return {TPublishCode::NotStarted, "a run is going"};
    TakeParams(params);
    hostKeyQuestion_.reset();
    if (params_.connection.host.empty()) {
        // The caller opens the settings, as "&Einstellungen..." does.
        prompts_.ShowMessage(Text(kIncomplete), MessageKind::Information);
        return {TPublishCode::NoHost, "no host"};
    }
    if (params_.deleteAll && !ConfirmDeletion()) return {TPublishCode::NotStarted, "deletion not confirmed"};
    // SFTP logs in by key or agent first and asks for the password only when it needs it.
    if (params_.connection.password.empty() && params_.connection.protocol == TRemoteProtocol::Ftp) {
        std::optional<std::string> password = view_.AskPassword();
        if (!password) return {TPublishCode::NotStarted, "no password"};
        typedPassword_ = params_.connection.password = *password;
    }
    remoteRoot_ = WithTrailingSlash(remoteRoot_);
    // Sending everything and deleting everything both begin by forgetting what the server holds.
    list_.Open(params_.transferListFile, TransferListDestination(params_.connection), remoteRoot_,
               params_.transferAll || params_.deleteAll);

    struct TRunGuard {
        TPublishJob& job;
        ~TRunGuard() {
            job.WatchdogOff();
            job.StopSessions();
            job.state_ = TRunState::Idle;
            job.view_.SetIdle(true);
        }
    } guard{*this};
    state_ = TRunState::Connecting;
    stop_.reset();
    givenUp_ = 0;
    uploading_.reset();
    if (site_) site_->SetEvents({});
    site_ = factory_(params_.connection);
    if (!site_) return Ended(TPublishCode::LoginFailed, "no adapter for the protocol");
    WireSite();

    Delay(timings_.startDelayMs);
    view_.SetIdle(false);
    filesDone_ = 0;
    reconnects_ = 0;
    if (!Connect()) return Ended(stop_.value_or(TPublishCode::LoginFailed));
    Call(TRequest::Features,
         [](TRemoteSite& site, TRemoteDone done) { site.LearnFeatures(std::move(done)); });
    if (params_.deleteAll) {
        DeleteAll();
        if (Stopped()) {
            if (Connected())
                Call(TRequest::Quit, [](TRemoteSite& site, TRemoteDone done) { site.Quit(done); });
            return Ended(stop_ == TPublishCode::Cancelled ? TPublishCode::Cancelled
                                                          : TPublishCode::DeleteFailed);
        }
    }
    state_ = TRunState::Sending;
    for (const std::string& folder : params_.plan.folders) {
        localDir_ = folder;
        remoteDir_ = RemoteFolderFor(params_.plan.localRoot, remoteRoot_, folder);
        if (Connected()) UploadFolder();
        if (Stopped()) break;
    }
    WatchdogOff();
    const TPublishCode code = Outcome();
    if (Connected()) {
        state_ = TRunState::Ending;
        Log(Text(kEnding));
        Status(Text(kEnding));
        Call(TRequest::Quit, [](TRemoteSite& site, TRemoteDone done) { site.Quit(done); });
        WatchdogOff();
    }
    ShowEnd(code);
    return Ended(code);
}

// How the walk over the folders ended.
TPublishCode TPublishJob::Outcome() const {
    if (stop_) return *stop_;
    if (!Connected()) return TPublishCode::ConnectionLost;
    if (givenUp_ > 0) return TPublishCode::Refused;
    return TPublishCode::Completed;
}

void TPublishJob::ShowEnd(TPublishCode code) {
    if (code == TPublishCode::DiskFull) {
        Status(Text(kDiskFullStatus));
        prompts_.ShowMessage(Text(kDiskFullStatus), MessageKind::Error);
    } else if (code == TPublishCode::Completed) {
        Status(Text(kSucceeded));
        prompts_.ShowMessage(FormatMessage(Text(kFinished), {params_.connection.host, remoteRoot_}),
                             MessageKind::Information);
        view_.CloseDialog();
    }
}

// The end of every run that got as far as connecting: the transfer list's last write and, unless
// it succeeded, the closing line that says what happened and what to do.
TPublishResult TPublishJob::Ended(TPublishCode code, std::string detail) {
    WatchdogOff();
    list_.Finish(code == TPublishCode::Completed);
    if (list_.WriteFailed()) Log(Text(kListNotWritten));
    TPublishResult result{code, detail.empty() ? lastDetail_ : std::move(detail)};
    if (code != TPublishCode::Completed) {
        if (code != TPublishCode::DiskFull)
            Status(Text(code == TPublishCode::Cancelled ? kCancelled : kNotCompleted));
        // How much the next run has left: the files not yet confirmed or found unchanged.
        if (state_ == TRunState::Sending || state_ == TRunState::Ending)
            Log(FormatMessage(Text(kStillOpen), {std::to_string(std::max(totalFiles_ - filesDone_, 0)),
                                                 std::to_string(totalFiles_)}));
        Log(PublishMessage(result, params_.connection.host, remoteRoot_));
    }
    return result;
}

// Logs in; false when that failed (the stop cause then says why, unless it was a plain failure).
bool TPublishJob::Connect() {
    std::string connecting = FormatMessage(Text(kConnecting), {params_.connection.host});
    Log(connecting);
    Status(connecting);
    site_->SetTimeLimit(std::chrono::milliseconds(timings_.transferTimeoutMs));
    TRemoteResult result =
        Call(TRequest::Login, [](TRemoteSite& site, TRemoteDone done) { site.Connect(done); });
    if (!result.Ok() || !Connected()) {
        Log(Text(kNoConnection));
        Status(Text(kNoConnection));
        Delay(timings_.connectFailedDelayMs);
        return false;
    }
    // The protocol window says whether anything goes in clear text.
    TRemoteSecurity security = site_->Security();
    Log(security.encrypted ? FormatMessage(Text(kEncrypted), {security.version}) : Text(kNotEncrypted));
    Status(Text(security.encrypted ? kConnectedEncrypted : kConnectedPlain));
    return true;
}

void TPublishJob::Cancel() {
    Stop(TPublishCode::Cancelled);
    Log(Text(kCancelled));
    StopSessions();
    if (site_) site_->Abort();
    view_.CloseDialog();
}

void TPublishJob::Close() {
    WatchdogOff();
    files_.clear();
    if (Connected() && state_ == TRunState::Idle)
        Await([this](TRemoteDone done) { site_->Quit(std::move(done)); });
}

// A cancel stays the cause whatever follows; a full disk stays unless the user cancels.
void TPublishJob::Stop(TPublishCode why) {
    if (stop_ == TPublishCode::Cancelled) return;
    if (stop_ == TPublishCode::DiskFull && why != TPublishCode::Cancelled) return;
    stop_ = why;
}

} // namespace vistrel
