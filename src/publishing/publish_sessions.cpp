// The extra upload sessions of the publish job: when they start, and what they see of the job.
#include "common/text_utils.h"
#include "publishing/publish_job.h"
#include "publishing/publish_texts.h"
#include "publishing/upload_plan.h"

#include <algorithm>

namespace vistrel {

using namespace publish_texts;

// Up to three sessions beside the main one (fewer where the site allows fewer), when the setting
// asks for them and the folder has enough changed files to share: two per session where files go
// one after the other, a whole batch per session where sessions send batches.
void TPublishJob::StartSessions() {
    if (!params_.connection.parallelUploads || Stopped()) return;
    int changed = 0;
    for (const auto& [name, state] : folderFiles_)
        changed += state.unchanged ? 0 : 1;
    const size_t batch = UploadBatchSize(*site_);
    const int share = batch > 1 ? int(batch) : 2;
    const int count = std::min({3, site_->MaxSiblings(), changed / share});
    if (count <= 0) return;
    const std::vector<std::string> folder = RemoteFolderParts(remoteDir_);
    Log(FormatMessage(Text(kSessionsStarted), {std::to_string(count)}));
    for (int i = 0; i < count; ++i) {
        std::unique_ptr<TRemoteSite> sibling = site_->OpenSibling();
        if (!sibling) break;
        sessions_.push_back(std::make_unique<TUploadSession>(std::move(sibling), folder, localDir_,
                                                             SessionHost(), timings_.watchdogMs));
        sessions_.back()->Start();
    }
}

void TPublishJob::StopSessions() {
    for (auto& session : sessions_)
        session->Stop();
    sessions_.clear();
}

bool TPublishJob::SessionsBusy() const {
    return std::any_of(sessions_.begin(), sessions_.end(), [](const auto& s) { return !s->Finished(); });
}

// What the extra sessions see of the job: the same files, the same transfer list and the same
// protocol lines for what they send.
TUploadSessionHost TPublishJob::SessionHost() {
    TUploadSessionHost host;
    host.takeFile = [this]() -> std::optional<std::string> {
        while (!Stopped()) {
            std::optional<size_t> index = TakeFile();
            if (!index) return std::nullopt;
            const std::string name = files_[*index];
            if (!Skipped(name)) {
                list_.Take(localDir_ + name);
                return name;
            }
            ++filesDone_;
            ShowTotals();
        }
        return std::nullopt;
    };
    host.sent = [this](const std::string& name) {
        list_.Confirm(folderFiles_[name].line);
        ++filesDone_;
        bytesDone_ += std::max<int64_t>(LocalFileSize(localDir_ + name), 0);
        ShowTotals();
    };
    host.giveBack = [this](const std::string& name) { files_.push_back(name); };
    host.upload = [this](const std::string& name) { Log(Text(kSending) + " " + name); };
    host.log = [this](const std::string& why) { Log(Text(kSessionEnded) + why); };
    return host;
}

} // namespace vistrel
