// One folder of the upload plan: enter it, decide which files changed, send them (with the extra
// sessions where they help), check the server's folder and climb back.
#include "publishing/publish_job.h"

#include "publishing/publish_texts.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <set>

namespace vistrel {

using namespace publish_texts;

namespace {

// Sleeps in the event loop until an event arrives, but at most 50 ms.
void WaitForEvents() {
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(50);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

} // namespace

void TPublishJob::UploadFolder() {
    site_->SetTimeLimit(std::chrono::milliseconds(timings_.transferTimeoutMs));
    if (!Connected()) {
        Log(Text(kDisconnected));
        return;
    }
    Call(TRequest::Transfers, [](TRemoteSite& site, TRemoteDone done) { site.PrepareTransfers(done); });
    view_.SetLabel(TPublishLabel::lbRemoteDir, remoteDir_);
    ChangeRemoteDir(remoteDir_);
    if (!Stopped()) DeleteSentProgramFiles();

    view_.SetLabel(TPublishLabel::lbLocalDir, localDir_);
    TFolderFiles files = ListPlanFolder(localDir_);
    files_ = files.names;
    refusals_.clear();
    view_.ShowFolderSize(static_cast<int>(files_.size()), files.bytes);
    Log(Text(kTransfer));
    if (!Stopped()) CheckFolderFiles();
    SendFiles();
    if (!Stopped() && params_.connection.checkServer) VerificationPass();
    list_.Flush(true);
    if (!Stopped()) ClimbBack();
}

// Copies of the program's own list files that an earlier run sent leave the server: they name every
// album with its texts, unpublished ones included. A refusal is only logged, like every deletion.
void TPublishJob::DeleteSentProgramFiles() {
    for (const std::string& name : ProgramFilesSentFrom(list_.Old(), localDir_)) {
        Call(TRequest::Delete, [&name](TRemoteSite& site, TRemoteDone done) { site.DeleteFile(name, done); });
        list_.Forget({localDir_ + name});
        if (Stopped()) return;
    }
}

// Decides for every file of the folder whether it is sent. A changed file's line leaves the
// transfer list only as that file is taken, so that a run stopped half-way through a folder keeps
// the lines of the files it never touched.
void TPublishJob::CheckFolderFiles() {
    folderFiles_.clear();
    for (const std::string& name : files_) {
        const std::string path = localDir_ + name;
        TFileState state;
        state.unchanged = list_.IsUnchanged(path, LocalFileSize(path), state.line);
        folderFiles_[name] = state;
        view_.ProcessEvents();
    }
}

// Files are taken in order from files_, which grows when a file is queued again; extra sessions
// take theirs from the same place. At the end the main session waits for them. A session that
// keeps several files on their way at once gets them in batches.
void TPublishJob::SendFiles() {
    nextFile_ = 0;
    StartSessions();
    const size_t batch = UploadBatchSize(*site_);
    for (;;) {
        std::vector<std::string> names = TakeBatch(batch);
        if (names.empty()) {
            if (Stopped()) break;
            if (nextFile_ < files_.size()) continue; // every file taken was unchanged
            if (!SessionsBusy()) break;
            WatchdogOff(); // the sessions have stall timers of their own
            WaitForEvents();
            continue;
        }
        if (batch == 1)
            SendFile(names.front());
        else
            SendBatch(names);
        if (Stopped()) break;
    }
    StopSessions();
}

// Up to `count` files to send; the unchanged ones met on the way are only logged and counted.
std::vector<std::string> TPublishJob::TakeBatch(size_t count) {
    std::vector<std::string> names;
    while (names.size() < count && !Stopped()) {
        std::optional<size_t> index = TakeFile();
        if (!index) break;
        const std::string name = files_[*index];
        view_.SetLabel(TPublishLabel::lbFilename, name);
        if (Skipped(name)) {
            FileDone(name);
            continue;
        }
        names.push_back(name);
    }
    return names;
}

std::optional<size_t> TPublishJob::TakeFile() {
    if (nextFile_ >= files_.size()) return std::nullopt;
    return nextFile_++;
}

// An unchanged file is only logged.
bool TPublishJob::Skipped(const std::string& name) {
    if (!folderFiles_[name].unchanged) return false;
    Log(Text(kSkip) + localDir_ + name);
    return true;
}

// "n von m" counts the files that stand on the server, nothing else.
void TPublishJob::FileDone(const std::string& name) {
    ++filesDone_;
    bytesDone_ += std::max<int64_t>(LocalFileSize(localDir_ + name), 0);
    ShowTotals();
}

void TPublishJob::SendFile(const std::string& name) {
    const std::string path = localDir_ + name;
    fileSize_ = LocalFileSize(path);
    view_.SetFileBar(0, fileSize_);
    list_.Take(path);
    if (!PutWatched(name)) return;
    list_.Confirm(folderFiles_[name].line);
    FileDone(name);
}

// Several files on their way at once. Each file's line is confirmed as the server confirms that
// file; a refused file is queued again like a single one; the files still on their way when the
// session broke are queued again after the reconnection.
void TPublishJob::SendBatch(const std::vector<std::string>& names) {
    std::vector<TPutItem> items;
    for (const std::string& name : names) {
        list_.Take(localDir_ + name);
        items.push_back({localDir_ + name, name});
    }
    fileSize_ = -1;
    // Shared with the callbacks, which could outlive this call when the program closes.
    auto ended = std::make_shared<std::vector<bool>>(names.size(), false);
    WatchdogOn();
    TRemoteResult result = Await([&](TRemoteDone done) {
        site_->PutFiles(
            std::move(items),
            [this, ended, names](size_t i, const TRemoteResult& file) {
                (*ended)[i] = true;
                BatchFileEnded(names[i], file);
                return !Stopped();
            },
            std::move(done));
    });
    WatchdogOff();
    for (size_t i = 0; i < names.size(); ++i)
        if (!(*ended)[i]) files_.push_back(names[i]);
    if (result.Ok()) {
        if (!Stopped()) WatchdogOn();
        return;
    }
    if (result.failure == TRemoteFailure::Cancelled) return;
    lastDetail_ = result.detail;
    if (!Stopped()) Failed(TRequest::Upload, result);
}

void TPublishJob::BatchFileEnded(const std::string& name, const TRemoteResult& result) {
    WatchdogRestart();
    view_.SetLabel(TPublishLabel::lbFilename, name);
    if (result.Ok()) {
        Log("Ok");
        list_.Confirm(folderFiles_[name].line);
        FileDone(name);
        return;
    }
    lastDetail_ = result.detail;
    if (Stopped()) return;
    uploading_ = name;
    Failed(TRequest::Upload, result);
    uploading_.reset();
}

// One upload under the watchdog; true when the server confirmed the file.
bool TPublishJob::PutWatched(const std::string& name) {
    WatchdogOn();
    uploading_ = name;
    const std::filesystem::path path = localDir_ + name;
    TRemoteResult result =
        Call(TRequest::Upload, [&](TRemoteSite& site, TRemoteDone done) { site.Put(path, name, done); });
    uploading_.reset();
    return result.Ok();
}

void TPublishJob::ShowTotals() {
    view_.ShowTotals(filesDone_, totalFiles_, bytesDone_, totalBytes_, true);
    view_.SetTotalBar(filesDone_, totalFiles_);
}

// The server check: the files of the folder that the server's listing lacks are sent again. A
// listing that fails is no reason to end the run: then every file of the folder is sent again.
void TPublishJob::VerificationPass() {
    Log(Text(kChecking));
    view_.SetLabel(TPublishLabel::lbFilename, Text(kFileList));
    fileSize_ = -1;
    view_.SetFileBar(0, 16384);
    std::optional<std::vector<TRemoteEntry>> listing = ListRemoteFolder(TListingDetail::Names);
    if (Stopped()) return;
    std::set<std::string> present;
    if (listing) {
        for (const TRemoteEntry& entry : *listing)
            if (entry.kind == TRemoteEntryKind::File || entry.kind == TRemoteEntryKind::Unknown)
                present.insert(entry.name);
    }
    std::set<std::string> checked;
    const size_t count = files_.size();
    for (size_t i = 0; i < count; ++i) {
        const std::string name = files_[i];
        if (!checked.insert(name).second || present.count(name)) continue;
        Log(Text(kResend) + name);
        const std::string path = localDir_ + name;
        view_.SetFileBar(0, LocalFileSize(path));
        view_.SetLabel(TPublishLabel::lbFilename, name);
        TFileState& state = folderFiles_[name];
        list_.Forget({path});
        if (PutWatched(name)) list_.Confirm(state.line);
        if (Stopped()) break;
    }
    Log(Text(listing ? kCheckDone : kCheckImpossible));
}

} // namespace vistrel
