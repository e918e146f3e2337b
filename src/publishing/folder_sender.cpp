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
// take theirs from the same place. At the end the main session waits for them.
void TPublishJob::SendFiles() {
    nextFile_ = 0;
    StartSessions();
    for (;;) {
        std::optional<size_t> index = TakeFile();
        if (!index) {
            if (Stopped() || !SessionsBusy()) break;
            WatchdogOff(); // the sessions have stall timers of their own
            WaitForEvents();
            continue;
        }
        // "n von m" counts the files that stand on the server, nothing else.
        if (SendFile(*index)) {
            ++filesDone_;
            bytesDone_ += std::max<int64_t>(fileSize_, 0);
            ShowTotals();
        }
        if (Stopped()) break;
    }
    StopSessions();
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

// True when the file stands on the server: skipped as unchanged or sent and confirmed.
bool TPublishJob::SendFile(size_t index) {
    const std::string name = files_[index];
    const std::string path = localDir_ + name;
    view_.SetLabel(TPublishLabel::lbFilename, name);
    fileSize_ = LocalFileSize(path);
    view_.SetFileBar(0, fileSize_);
    if (Skipped(name)) return true;
    if (Stopped()) return false;
    list_.Take(path);
    if (!PutWatched(name)) return false;
    list_.Confirm(folderFiles_[name].line);
    return true;
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
