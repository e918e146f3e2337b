#include "publishing/upload_session.h"

#include <utility>

namespace vistrel {

size_t UploadBatchSize(const TRemoteSite& site) {
    return site.FilesAtOnce() > 1 ? site.FilesAtOnce() * 2 : 1;
}

TUploadSession::TUploadSession(std::unique_ptr<TRemoteSite> site, std::vector<std::string> folder,
                               std::string localDir, TUploadSessionHost host, int stallMs)
    : site_(std::move(site)), folder_(std::move(folder)), localDir_(std::move(localDir)),
      host_(std::move(host)) {
    TRemoteEvents events;
    events.line = [this](TRemoteLineKind kind, const std::string& text) {
        if (kind == TRemoteLineKind::Upload && host_.upload) host_.upload(text);
    };
    events.progress = [this](int64_t) { stall_.start(); };
    site_->SetEvents(std::move(events));
    stall_.setSingleShot(true);
    stall_.setInterval(stallMs);
    QObject::connect(&stall_, &QTimer::timeout, this, [this] { Retire("no progress"); });
}

TUploadSession::~TUploadSession() {
    site_->SetEvents({});
    site_->Abort();
}

void TUploadSession::Start() {
    phase_ = TPhase::Login;
    stall_.start();
    site_->Connect(Next());
}

void TUploadSession::Stop() {
    if (phase_ == TPhase::Done) return;
    phase_ = TPhase::Done;
    stall_.stop();
    site_->Abort();
    GiveBackUnsent();
}

// The completion of the next request, under the stall timer. A completion that comes after the
// session was stopped changes nothing.
TRemoteDone TUploadSession::Next() {
    stall_.start();
    return [this](const TRemoteResult& result) { Done(result); };
}

void TUploadSession::Done(const TRemoteResult& result) {
    if (phase_ == TPhase::Done) return;
    if (phase_ == TPhase::Quit) {
        phase_ = TPhase::Done;
        stall_.stop();
        site_->Abort();
        return;
    }
    if (!result.Ok()) return Retire(result.detail.empty() ? FailureName(result.failure) : result.detail);
    switch (phase_) {
    case TPhase::Login:
        phase_ = TPhase::Type;
        return site_->PrepareTransfers(Next());
    case TPhase::Type:
        phase_ = TPhase::Enter;
        return EnterNext();
    case TPhase::Enter:
        return EnterNext();
    case TPhase::Send:
        GiveBackUnsent();
        if (refused_) return Retire("refused");
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
    site_->EnterFolder(folder_[entered_++], Next());
}

void TUploadSession::SendNext() {
    const size_t batch = UploadBatchSize(*site_);
    std::vector<TPutItem> items;
    files_.clear();
    while (items.size() < batch) {
        std::optional<std::string> name = host_.takeFile ? host_.takeFile() : std::nullopt;
        if (!name) break;
        files_.push_back(*name);
        items.push_back({localDir_ + *name, *name});
    }
    if (items.empty()) {
        phase_ = TPhase::Quit;
        return site_->Quit(Next());
    }
    site_->PutFiles(
        std::move(items),
        [this](size_t index, const TRemoteResult& result) { return FileEnded(index, result); }, Next());
}

// A refused file goes back to the job, whose rules decide, and the session retires after the batch.
bool TUploadSession::FileEnded(size_t index, const TRemoteResult& result) {
    if (phase_ == TPhase::Done || index >= files_.size()) return false;
    const std::string name = std::exchange(files_[index], {});
    stall_.start();
    if (result.Ok()) {
        if (host_.sent) host_.sent(name);
        return true;
    }
    refused_ = true;
    if (host_.giveBack) host_.giveBack(name);
    return false;
}

void TUploadSession::GiveBackUnsent() {
    for (const std::string& name : std::exchange(files_, {}))
        if (!name.empty() && host_.giveBack) host_.giveBack(name);
}

void TUploadSession::Retire(const std::string& why) {
    if (phase_ == TPhase::Done) return;
    if (host_.log) host_.log(why);
    Stop();
}

} // namespace vistrel
