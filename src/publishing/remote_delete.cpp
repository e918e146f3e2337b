// Emptying the remote root before a run ("&Verzeichnis auf dem Web Server vor der Übertragung
// vollständig löschen"): a recursive walk over the server's listings with DELE and RMD. The listing
// is MLSD where the server offers it (exact names and types), else LIST -a in the Unix long format;
// both show hidden files such as .htaccess, which a folder must lose before RMD can remove it.
#include "publishing/publish_job.h"

#include "publishing/publish_texts.h"
#include "publishing/remote_listing.h"

#include <cctype>

namespace vistrel {

using namespace publish_texts;

namespace {

// Deeper than any site nests its folders; a server that lists a sub-folder in every folder would
// otherwise make the walk recurse without end.
constexpr int kMaxDeleteDepth = 32;

} // namespace

void TPublishJob::DeleteAll() {
    view_.SetDialogEnabled(false);
    client_.Timeout = timings_.deleteTimeout;
    view_.ShowDeleteStatus();
    view_.SetDeleteFolder(FRemoteRoot);
    view_.SetDeleteFile({});
    view_.SetDeleteProgress(0);
    struct TEnd {
        TPublishJob& job;
        ~TEnd() {
            job.deleting_ = false;
            job.view_.SetDialogEnabled(true);
            job.view_.CloseDeleteStatus();
        }
    } end{*this};
    deleting_ = true;
    ChangeRemoteDir(FRemoteRoot);
    DeleteRemoteTree({});
    if (FStopped) return;
    for (int level = 0; level < FDirDepth; ++level) {
        WaitForRequest();
        client_.CDup();
    }
}

void TPublishJob::DeleteRemoteTree(const std::string& folder, int depth) {
    if (FStopped) return;
    view_.SetDeleteFolder(folder);
    if (!folder.empty()) {
        WaitForRequest();
        client_.HostDirName = folder;
        // Not in the folder means not emptying it: the names of its listing would hit the parent.
        if (!client_.Cwd()) {
            Stop(TPublishCode::DeleteFailed);
            return;
        }
    }
    struct TClimb {
        TPublishJob& job;
        bool entered;
        ~TClimb() {
            if (entered && !job.FStopped) job.client_.CDup();
        }
    } climb{*this, !folder.empty()};

    client_.HostDirName.clear();
    // A listing answered with an error code is taken as an empty folder: some servers answer so for
    // a folder without entries. Should it hold entries after all, its RMD fails and stops the run.
    std::vector<std::string> lines = ListRemoteFolder("LIST").value_or(std::vector<std::string>{});
    std::vector<std::string> folders;
    int position = 0;
    for (const std::string& line : lines) {
        position = position + 1 >= 100 ? 0 : position + 1;
        view_.SetDeleteProgress(position);
        TListingLine entry = hasMlsd_ ? ParseMlsdLine(line) : ParseUnixListLine(line);
        if (entry.kind == TListingEntry::Folder) {
            if (IsPlainRemoteName(entry.name)) folders.push_back(entry.name);
        } else if (entry.kind == TListingEntry::File && IsPlainRemoteName(entry.name)) {
            client_.HostFileName = entry.name;
            view_.SetDeleteFile(entry.name);
            client_.Dele();
            WaitForRequest();
        }
        if (FStopped) break;
    }
    if (FStopped) return;
    for (const std::string& sub : folders) {
        if (depth + 1 > kMaxDeleteDepth) {
            Log(Text(kTooDeep));
            Stop(TPublishCode::DeleteFailed);
            break;
        }
        DeleteRemoteTree(sub, depth + 1);
        if (FStopped) break;
        client_.HostFileName = sub;
        client_.Rmd();
        WaitForRequest();
        if (FStopped) break;
    }
}

} // namespace vistrel
