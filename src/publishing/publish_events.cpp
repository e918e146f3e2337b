// The publish job's reactions to the FTP client's events, the request-done rules and the watchdog.
#include "publishing/publish_job.h"

#include "common/user_prompts.h"
#include "publishing/publish_texts.h"
#include "publishing/upload_plan.h"

namespace vistrel {

using namespace publish_texts;

namespace {
// A file refused this often within one folder is given up instead of queued again: a server that
// refuses it for good would otherwise keep the folder's loop going until somebody cancels.
constexpr int kMaxRefusals = 3;
} // namespace

void TPublishJob::WireClient() {
    client_.OnDisplay = [this](const std::string& message) { FTPClientDisplay(message); };
    client_.OnCommand = [this](std::string& command) { FTPClientCommand(command); };
    client_.OnProgress = [this](int64_t count, bool&) { FTPClientProgress(count); };
    client_.OnSessionConnected = [this](int) { FTPClientSessionConnected(); };
    client_.OnSessionClosed = [this](int) { FTPClientSessionClosed(); };
    client_.OnStateChange = [this] { FTPClientStateChange(); };
    client_.OnRequestDone = [this](TFtpRequest request, int error) { FTPClientRequestDone(request, error); };
    // A certificate the system does not vouch for: the user decides; once trusted, a reconnection
    // of the same run does not ask again.
    client_.OnUntrustedCertificate = [this](const std::string& fingerprint, const std::string& reason) {
        bool trusted = view_.TrustCertificate(HostPort(params_), fingerprint, reason);
        if (trusted) client_.TrustedFingerprint = fingerprint;
        return trusted;
    };
    client_.OnBackgroundException = [this](const std::exception&, bool& canClose) {
        FTPClientBackgroundException(canClose);
    };
}

// The client's echoes of commands (">") and replies ("<") stay out; its own notes go in.
void TPublishJob::FTPClientDisplay(const std::string& message) {
    if (!message.empty() && (message[0] == '>' || message[0] == '<')) return;
    Log(message);
}

void TPublishJob::FTPClientCommand(std::string& command) {
    if (command.rfind("PORT", 0) == 0) return;
    if (command.rfind("STOR", 0) == 0) {
        Log(Text(kSending) + command.substr(4));
        return;
    }
    Log(command);
}

void TPublishJob::FTPClientProgress(int64_t count) {
    WatchdogRestart();
    view_.SetFileBarPosition(count);
    view_.ShowFileBytes(count, FFileSize);
}

void TPublishJob::FTPClientSessionConnected() {
    FConnected = true;
    Log(Text(kConnected));
    Status(Text(kConnected));
}

void TPublishJob::FTPClientSessionClosed() {
    FConnected = false;
    Log(Text(kClosed));
    Status(Text(kClosed));
}

void TPublishJob::FTPClientStateChange() {
    FConnected = client_.Connected();
}

void TPublishJob::FTPClientBackgroundException(bool& canClose) {
    Stop(TPublishCode::ConnectionLost);
    FRequestDone = true;
    canClose = false;
}

void TPublishJob::FTPClientRequestDone(TFtpRequest request, int error) {
    WatchdogOff();
    if (error == 0) Log("Ok");
    if (FStopped) return;
    FRequestDone = true;
    if (error == 0) {
        WatchdogOn();
        return;
    }
    const std::string errorLine = "Fehler " + std::to_string(error);
    switch (request) {
    case ftpConnectAsync:
        if (error == 530) {
            prompts_.ShowMessage(Text(kBadPassword), MessageKind::Error);
            Log("Bad password");
            stopCode_ = TPublishCode::BadPassword;
        }
        Log(Text(kLoginFailed));
        // A connection that never came up has nobody to say goodbye to; QUIT would only wait for
        // its time-out there.
        if (client_.Connected()) client_.Quit();
        FConnectFailed = true;
        WatchdogOn();
        break;
    case ftpPutAsync:
        Log(errorLine);
        if (error == 451 || error == 552) {
            Log(Text(kDiskFullLog));
            FDiskFull = true;
            Stop(TPublishCode::DiskFull);
        } else if (error == 550 && client_.Passive()) {
            Stop(TPublishCode::Refused);
            prompts_.ShowMessage(Text(kPassiveHint), MessageKind::Error);
        } else {
            UploadRefused();
            WatchdogOn();
        }
        break;
    case ftpMkdAsync:
        if (error == 550) {
            Log(Text(kFolderOk));
            WatchdogOn();
        } else {
            Log(errorLine);
            Stop(TPublishCode::Refused);
        }
        break;
    case ftpDeleAsync:
        if (error == 550)
            WatchdogOn();
        else
            Log(errorLine);
        break;
    case ftpLsAsync:
    case ftpQuoteAsync:
        // A listing that fails makes the server check send the folder again and counts as an
        // empty folder while deleting; a server without FEAT has no features. Neither ends the run.
        Log(errorLine);
        WatchdogOn();
        break;
    default:
        Log(errorLine);
        Stop(TPublishCode::Refused);
        break;
    }
}

// The file goes to the end of the folder's queue, unless the server refused it too often.
void TPublishJob::UploadRefused() {
    if (uploadName_.empty()) return;
    if (++refusals_[uploadName_] > kMaxRefusals) {
        Log(Text(kGivenUp) + uploadName_);
        gaveUp_ = true;
        return;
    }
    FFiles.push_back(uploadName_);
}

// ---- watchdog -----------------------------------------------------------------------------------

void TPublishJob::WatchdogOn() {
    if (!watchdog_.isActive()) watchdog_.start();
}

void TPublishJob::WatchdogOff() {
    watchdog_.stop();
}

void TPublishJob::WatchdogRestart() {
    watchdog_.stop();
    watchdog_.start();
}

// Fires after a whole interval in which no data moved and no request finished.
void TPublishJob::Timer1Timer() {
    if (inWatchdog_) return;
    Log(Text(kLost));
    Status(Text(kLost));
    WatchdogOff();
    if (FReconnects >= timings_.maxReconnects) {
        Log(Text(kTooManyErrors));
        // The design sends QUIT after this, on the session Abort has just closed: it sends nothing
        // and only waits for the time-out, so it is left out. The run ends here.
        client_.Abort();
        FConnected = false;
        Stop(TPublishCode::ConnectionLost);
        return;
    }
    if (deleting_) {
        // After a reconnection the session stands in the login folder, not in the folder being
        // emptied; deleting on from there would delete the wrong files. The run ends instead.
        client_.Abort();
        Stop(TPublishCode::ConnectionLost);
        return;
    }
    struct TReentry {
        bool& flag;
        ~TReentry() { flag = false; }
    } reentry{inWatchdog_};
    inWatchdog_ = true;
    ++FReconnects;
    bool interruptedUpload = uploadInProgress_;
    std::string interrupted = uploadName_;
    client_.Abort();
    client_.Connect();
    client_.Binary = true;
    client_.TypeSet();
    client_.TypeSet();
    FRequestDone = true;
    if (interruptedUpload) FFiles.push_back(interrupted);
    ChangeRemoteDir(FRemoteDir);
    WaitForRequest();
}

} // namespace vistrel
