// The extra upload sessions of the publish job: when they start, and what they see of the job.
#include "common/text_utils.h"
#include "publishing/publish_job.h"
#include "publishing/publish_texts.h"
#include "publishing/upload_plan.h"

#include <algorithm>

namespace vistrel {

using namespace publish_texts;

// Up to three sessions beside the main one, when the setting asks for them and the folder has
// enough changed files to share.
void TPublishJob::StartSessions() {
    if (!params_.parallelUploads || FStopped) return;
    int changed = 0;
    for (const auto& [name, state] : folderFiles_)
        changed += state.unchanged ? 0 : 1;
    const int count = std::min(3, changed / 2);
    if (count <= 0) return;
    const std::vector<std::string> folder = RemoteFolderParts(FRemoteDir);
    Log(FormatMessage(Text(kSessionsStarted), {std::to_string(count)}));
    for (int i = 0; i < count; ++i) {
        sessions_.push_back(
            std::make_unique<TUploadSession>(client_, folder, FLocalDir, SessionHost(), timings_.watchdogMs));
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
        while (!FStopped) {
            std::optional<size_t> index = TakeFile();
            if (!index) return std::nullopt;
            const std::string name = FFiles[*index];
            if (!Skipped(name)) return name;
            ++FFilesDone;
            ShowTotals();
        }
        return std::nullopt;
    };
    host.sent = [this](const std::string& name) {
        list_.Confirm(folderFiles_[name].line);
        ++FFilesDone;
        FBytesDone += std::max<int64_t>(LocalFileSize(FLocalDir + name), 0);
        ShowTotals();
    };
    host.giveBack = [this](const std::string& name) { FFiles.push_back(name); };
    host.command = [this](std::string& command) {
        if (command.rfind("STOR", 0) == 0) FTPClientCommand(command);
    };
    host.log = [this](const std::string& why) { Log(Text(kSessionEnded) + why); };
    return host;
}

} // namespace vistrel
