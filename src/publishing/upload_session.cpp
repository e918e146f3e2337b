#include "publishing/upload_session.h"

namespace vistrel {

TUploadSession::TUploadSession(const TCustomFtpClient& model, std::vector<std::string> folder,
                               std::string localDir, TUploadSessionHost host, int stallMs)
    : folder_(std::move(folder)), localDir_(std::move(localDir)), host_(std::move(host)) {
    client_.HostName = model.HostName;
    client_.Port = model.Port;
    client_.LocalAddr = model.LocalAddr;
    client_.UserName = model.UserName;
    client_.PassWord = model.PassWord;
    client_.Options = model.Options;
    client_.SetPassive(model.Passive());
    client_.UseTls = model.UseTls;
    client_.RequireTls = model.RequireTls;
    // The main session has settled whether the certificate is trusted; nobody is asked again.
    client_.TrustedFingerprint = model.TrustedFingerprint;
    client_.EndOfFileDelayMs = model.EndOfFileDelayMs;
    client_.ReplyTimeLimitMs = model.ReplyTimeLimitMs;
    client_.OnRequestDone = [this](TFtpRequest request, int error) { RequestDone(request, error); };
    client_.OnCommand = [this](std::string& command) {
        if (host_.command) host_.command(command);
    };
    client_.OnProgress = [this](int64_t, bool&) { stall_.start(); };
    stall_.setSingleShot(true);
    stall_.setInterval(stallMs);
    QObject::connect(&stall_, &QTimer::timeout, this, [this] { Retire("no progress"); });
}

TUploadSession::~TUploadSession() {
    client_.OnRequestDone = nullptr;
    client_.OnCommand = nullptr;
    client_.OnProgress = nullptr;
    client_.Abort();
}

void TUploadSession::Start() {
    phase_ = TPhase::Login;
    Go(&TCustomFtpClient::ConnectAsync);
}

void TUploadSession::Stop() {
    if (phase_ == TPhase::Done) return;
    phase_ = TPhase::Done;
    stall_.stop();
    client_.Abort();
    if (file_ && host_.giveBack) host_.giveBack(*std::exchange(file_, std::nullopt));
}

// Starts a request under the stall timer; a request the client refuses to start retires us.
void TUploadSession::Go(void (TCustomFtpClient::*request)()) {
    stall_.start();
    try {
        (client_.*request)();
    } catch (const std::exception& error) {
        Retire(error.what());
    }
}

void TUploadSession::RequestDone(TFtpRequest, int error) {
    if (phase_ == TPhase::Done) return;
    if (phase_ == TPhase::Quit) {
        phase_ = TPhase::Done;
        stall_.stop();
        client_.Abort();
        return;
    }
    if (error != 0) return Retire(client_.ErrorMessage());
    switch (phase_) {
    case TPhase::Login:
        phase_ = TPhase::Type;
        client_.Binary = true;
        return Go(&TCustomFtpClient::TypeSetAsync);
    case TPhase::Type:
        phase_ = TPhase::Enter;
        return EnterNext();
    case TPhase::Enter:
        return EnterNext();
    case TPhase::Send:
        if (file_ && host_.sent) host_.sent(*std::exchange(file_, std::nullopt));
        return SendNext();
    default:
        return;
    }
}

void TUploadSession::EnterNext() {
    if (entered_ == folder_.size()) {
        phase_ = TPhase::Send;
        return SendNext();
    }
    client_.HostDirName = folder_[entered_++];
    Go(&TCustomFtpClient::CwdAsync);
}

void TUploadSession::SendNext() {
    file_ = host_.takeFile ? host_.takeFile() : std::nullopt;
    if (!file_) {
        phase_ = TPhase::Quit;
        return Go(&TCustomFtpClient::QuitAsync);
    }
    client_.LocalFileName = localDir_ + *file_;
    client_.HostFileName = *file_;
    Go(&TCustomFtpClient::PutAsync);
}

void TUploadSession::Retire(const std::string& why) {
    if (phase_ == TPhase::Done) return;
    if (host_.log) host_.log(why);
    Stop();
}

} // namespace vistrel
