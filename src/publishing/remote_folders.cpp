// The server's folders: entering the folder of the plan part by part, climbing back, and emptying
// the remote root before a run ("&Verzeichnis auf dem Web Server vor der Übertragung vollständig
// löschen"): a recursive walk over the server's listings that deletes files and removes folders.
// The listing with kinds shows hidden files such as .htaccess, which a folder must lose before it
// can be removed.
#include "publishing/publish_job.h"

#include "publishing/publish_texts.h"
#include "publishing/remote_listing.h"

namespace vistrel {

using namespace publish_texts;

namespace {

// Deeper than any site nests its folders; a server that lists a sub-folder in every folder would
// otherwise make the walk recurse without end.
constexpr int kMaxDeleteDepth = 32;

} // namespace

void TPublishJob::ChangeRemoteDir(const std::string& path) {
    Log(Text(kChangeDir));
    if (path.empty() || static_cast<unsigned char>(path[0]) < '!') return;
    dirDepth_ = 0;
    for (const std::string& part : RemoteFolderParts(path)) {
        if (Stopped()) return;
        Call(TRequest::MakeFolder,
             [&part](TRemoteSite& site, TRemoteDone done) { site.MakeFolder(part, done); });
        // A folder that cannot be entered stops here: going on would put the rest of the path, and
        // every file, in the wrong place, and the climb back would leave the login folder.
        if (!Call(TRequest::Folder, [&part](TRemoteSite& site, TRemoteDone done) {
                 site.EnterFolder(part, done);
             }).Ok()) {
            Stop(TPublishCode::Refused);
            return;
        }
        ++dirDepth_;
    }
}

void TPublishJob::ClimbBack() {
    Log(Text(kClimb));
    for (int level = 0; level < dirDepth_ && Connected(); ++level)
        Call(TRequest::Folder, [](TRemoteSite& site, TRemoteDone done) { site.LeaveFolder(done); });
}

std::optional<std::vector<TRemoteEntry>> TPublishJob::ListRemoteFolder(TListingDetail detail) {
    if (state_ != TRunState::Deleting) WatchdogOn();
    std::vector<TRemoteEntry> entries;
    TRemoteResult listed =
        AwaitListing([this, detail](TListingDone done) { site_->List(detail, std::move(done)); }, entries);
    // The listing's outcome follows the rules of every request.
    Call(TRequest::Listing, [listed](TRemoteSite&, TRemoteDone done) { done(listed); });
    if (!listed.Ok()) return std::nullopt;
    return entries;
}

void TPublishJob::DeleteAll() {
    view_.SetDialogEnabled(false);
    site_->SetTimeLimit(std::chrono::milliseconds(timings_.deleteTimeoutMs));
    view_.ShowDeleteStatus();
    view_.SetDeleteFolder(remoteRoot_);
    view_.SetDeleteFile({});
    view_.SetDeleteProgress(0);
    struct TEnd {
        TPublishJob& job;
        ~TEnd() {
            job.state_ = TRunState::Connecting;
            job.view_.SetDialogEnabled(true);
            job.view_.CloseDeleteStatus();
        }
    } end{*this};
    state_ = TRunState::Deleting;
    ChangeRemoteDir(remoteRoot_);
    DeleteRemoteTree({}, 0);
    if (Stopped()) return;
    for (int level = 0; level < dirDepth_; ++level)
        Call(TRequest::Folder, [](TRemoteSite& site, TRemoteDone done) { site.LeaveFolder(done); });
}

void TPublishJob::DeleteRemoteTree(const std::string& folder, int depth) {
    if (Stopped()) return;
    view_.SetDeleteFolder(folder);
    if (!folder.empty()) {
        // Not in the folder means not emptying it: the names of its listing would hit the parent.
        if (!Call(TRequest::Folder, [&folder](TRemoteSite& site, TRemoteDone done) {
                 site.EnterFolder(folder, done);
             }).Ok()) {
            Stop(TPublishCode::DeleteFailed);
            return;
        }
    }
    struct TClimb {
        TPublishJob& job;
        bool entered;
        ~TClimb() {
            if (entered && !job.Stopped())
                job.Call(TRequest::Folder,
                         [](TRemoteSite& site, TRemoteDone done) { site.LeaveFolder(done); });
        }
    } climb{*this, !folder.empty()};

    // A listing answered with an error is taken as an empty folder: some servers answer so for a
    // folder without entries. Should it hold entries after all, its removal fails and stops the run.
    std::vector<TRemoteEntry> entries =
        ListRemoteFolder(TListingDetail::Kinds).value_or(std::vector<TRemoteEntry>{});
    std::vector<std::string> folders;
    int position = 0;
    for (const TRemoteEntry& entry : entries) {
        position = position + 1 >= 100 ? 0 : position + 1;
        view_.SetDeleteProgress(position);
        if (!IsPlainRemoteName(entry.name)) continue;
        if (entry.kind == TRemoteEntryKind::Folder) {
            folders.push_back(entry.name);
        } else if (entry.kind == TRemoteEntryKind::File) {
            view_.SetDeleteFile(entry.name);
            Call(TRequest::Delete,
                 [&entry](TRemoteSite& site, TRemoteDone done) { site.DeleteFile(entry.name, done); });
        }
        if (Stopped()) break;
    }
    if (Stopped()) return;
    for (const std::string& sub : folders) {
        if (depth + 1 > kMaxDeleteDepth) {
            Log(Text(kTooDeep));
            Stop(TPublishCode::DeleteFailed);
            break;
        }
        DeleteRemoteTree(sub, depth + 1);
        if (Stopped()) break;
        Call(TRequest::Folder, [&sub](TRemoteSite& site, TRemoteDone done) { site.RemoveFolder(sub, done); });
        if (Stopped()) break;
    }
}

} // namespace vistrel
