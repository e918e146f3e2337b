// The main session's requests under the job's rules, its events and the watchdog.
#include "publishing/publish_job.h"

#include "common/user_prompts.h"
#include "publishing/publish_texts.h"

#include <utility>

namespace vistrel {

using namespace publish_texts;

namespace {
// A file refused this often within one folder is given up instead of queued again: a server that
// refuses it for good would otherwise keep the folder's loop going until somebody cancels.
constexpr int kMaxRefusals = 3;
} // namespace

void TPublishJob::WireSite() {
    TRemoteEvents events;
    events.line = [this](TRemoteLineKind kind, const std::string& text) { SiteLine(kind, text); };
    events.progress = [this](int64_t count) { SiteProgress(count); };
    events.connection = [this](bool connected) { SiteConnection(connected); };
    // An identity the adapter cannot vouch for: the user decides.
    events.trust = [this](const TTrustQuestion& question) {
        if (question.kind == TTrustQuestion::TKind::HostKey) {
            hostKeyQuestion_ = question;
            return view_.TrustHostKey(question.hostPort, question.keyType, question.fingerprint,
                                      question.previousFingerprint);
        }
        return view_.TrustCertificate(question.hostPort, question.fingerprint, question.reason);
    };
    // No password and no file in clear text without the user's consent; a refusal ends the run.
    events.unencrypted = [this](const std::string& hostPort) {
        if (view_.AllowUnencrypted(hostPort)) return true;
        Stop(TPublishCode::EncryptionDeclined);
        return false;
    };
    // SFTP asks for the password only when no key let it in, and for a key's passphrase.
    events.secret = [this](const std::string& keyFile, std::string& secret) {
        std::optional<std::string> typed =
            keyFile.empty() ? view_.AskPassword() : view_.AskPassphrase(keyFile);
        if (!typed) return false;
        if (keyFile.empty()) typedPassword_ = *typed;
        secret = *typed;
        return true;
    };
    site_->SetEvents(std::move(events));
}

// The session's commands and notes go into the protocol; the server's replies stay out.
void TPublishJob::SiteLine(TRemoteLineKind kind, const std::string& text) {
    switch (kind) {
    case TRemoteLineKind::Command:
    case TRemoteLineKind::Note:
        return Log(text);
    case TRemoteLineKind::Upload:
        return Log(Text(kSending) + " " + text);
    case TRemoteLineKind::Reply:
        return;
    }
}

void TPublishJob::SiteProgress(int64_t count) {
    WatchdogRestart();
    view_.SetFileBarPosition(count);
    view_.ShowFileBytes(count, fileSize_);
}

void TPublishJob::SiteConnection(bool connected) {
    Log(Text(connected ? kConnected : kClosed));
    Status(Text(connected ? kConnected : kClosed));
}

// Waits for one request of the main session, writes "Ok" or the failure's line and applies the
// rules of its kind. A request ended by Abort (the watchdog, "Abbrechen") leaves the decision to
// whoever aborted it.
TRemoteResult TPublishJob::Call(TRequest request,
                                const std::function<void(TRemoteSite&, TRemoteDone)>& start) {
    TRemoteSite& site = *site_;
    TRemoteResult result = Await([&](TRemoteDone done) { start(site, std::move(done)); });
    WatchdogOff();
    if (result.Ok()) {
        Log("Ok");
        if (!Stopped()) WatchdogOn();
        return result;
    }
    if (result.failure == TRemoteFailure::Cancelled) return result;
    lastDetail_ = result.detail;
    if (Stopped()) return result;
    Failed(request, result);
    return result;
}

void TPublishJob::Failed(TRequest request, const TRemoteResult& result) {
    const std::string errorLine = "Fehler " + std::to_string(result.code);
    if (request == TRequest::Login) return LoginFailed(result);
    const bool lost =
        result.failure == TRemoteFailure::ConnectionLost || result.failure == TRemoteFailure::TimedOut;
    if (lost && request != TRequest::Quit) {
        Log(errorLine);
        // A reconnection's own requests do not start another one; the next request tries again.
        if (state_ != TRunState::Reconnecting) LostConnection();
        return;
    }
    switch (request) {
    case TRequest::Upload:
        Log(errorLine);
        if (result.failure == TRemoteFailure::NoSpace) {
            Log(Text(kDiskFullLog));
            Stop(TPublishCode::DiskFull);
        } else if (result.failure == TRemoteFailure::NoDataConnection) {
            Stop(TPublishCode::Refused);
            prompts_.ShowMessage(Text(kPassiveHint), MessageKind::Error);
        } else {
            UploadRefused();
            WatchdogOn();
        }
        return;
    case TRequest::MakeFolder:
        // Entering the folder decides whether it is usable.
        if (result.failure == TRemoteFailure::AlreadyExists) {
            Log(Text(kFolderOk));
            WatchdogOn();
        } else {
            Log(errorLine);
        }
        return;
    case TRequest::Delete:
        if (result.failure == TRemoteFailure::NotFound)
            WatchdogOn();
        else
            Log(errorLine);
        return;
    case TRequest::Listing:
    case TRequest::Features:
        // A listing that fails makes the server check send the folder again and counts as an
        // empty folder while deleting; a server without features has none. Neither ends the run.
        Log(errorLine);
        WatchdogOn();
        return;
    case TRequest::Quit:
        Log(errorLine);
        return;
    default:
        Log(errorLine);
        Stop(TPublishCode::Refused);
        return;
    }
}

void TPublishJob::LoginFailed(const TRemoteResult& result) {
    if (result.failure == TRemoteFailure::TimedOut) {
        Log(Text(kNoAnswer));
        return;
    }
    if (result.failure == TRemoteFailure::LoginRefused) {
        prompts_.ShowMessage(Text(kBadPassword), MessageKind::Error);
        Log("Bad password");
        Stop(TPublishCode::BadPassword);
    }
    Log(Text(kLoginFailed));
    if (result.failure == TRemoteFailure::TrustRefused && hostKeyQuestion_) {
        const bool changed = hostKeyQuestion_->changed;
        Stop(changed ? TPublishCode::HostKeyChanged : TPublishCode::HostKeyRejected);
        lastDetail_ =
            changed ? hostKeyQuestion_->previousFingerprint + " " + result.fingerprint : result.fingerprint;
    } else if (result.failure == TRemoteFailure::TrustRefused) {
        Stop(TPublishCode::CertificateRejected);
        lastDetail_ = result.fingerprint;
    } else if (result.failure == TRemoteFailure::EncryptionRefused) {
        Stop(TPublishCode::TlsRefused);
    }
    // A connection that never came up has nobody to say goodbye to.
    if (site_->Connected())
        Call(TRequest::Quit, [](TRemoteSite& site, TRemoteDone done) { site.Quit(done); });
}

// The file goes to the end of the folder's queue, unless the server refused it too often.
void TPublishJob::UploadRefused() {
    if (!uploading_) return;
    const std::string name = *uploading_;
    if (++refusals_[name] > kMaxRefusals) {
        Log(Text(kGivenUp) + name);
        ++givenUp_;
        return;
    }
    files_.push_back(name);
}

// ---- watchdog and reconnection ------------------------------------------------------------------

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
void TPublishJob::WatchdogFired() {
    if (state_ == TRunState::Reconnecting || state_ == TRunState::Idle) return;
    LostConnection();
}

// The session stalled or broke: a new login, as long as the run's reconnections last.
void TPublishJob::LostConnection() {
    Log(Text(kLost));
    Status(Text(kLost));
    WatchdogOff();
    if (reconnects_ >= timings_.maxReconnects) {
        Log(Text(kTooManyErrors));
        site_->Abort();
        Stop(TPublishCode::ConnectionLost);
        return;
    }
    if (state_ == TRunState::Deleting) {
        // After a reconnection the session stands in the login folder, not in the folder being
        // emptied; deleting on from there would delete the wrong files. The run ends instead.
        site_->Abort();
        Stop(TPublishCode::ConnectionLost);
        return;
    }
    Reconnect();
}

// Logs in again, enters the folder being sent and queues the interrupted file again.
void TPublishJob::Reconnect() {
    struct TRestore {
        TRunState& state;
        TRunState previous;
        ~TRestore() { state = previous; }
    } restore{state_, std::exchange(state_, TRunState::Reconnecting)};
    ++reconnects_;
    if (uploading_) files_.push_back(*std::exchange(uploading_, std::nullopt));
    site_->Abort();
    if (!Call(TRequest::Login, [](TRemoteSite& site, TRemoteDone done) { site.Connect(done); }).Ok()) return;
    for (int i = 0; i < 2; ++i)
        Call(TRequest::Transfers, [](TRemoteSite& site, TRemoteDone done) { site.PrepareTransfers(done); });
    ChangeRemoteDir(remoteDir_);
}

} // namespace vistrel
