// Emptying the remote root before a run ("&Verzeichnis auf dem Web Server vor der Übertragung
// vollständig löschen"): a recursive walk over the server's long listings with DELE and RMD.
#include "publishing/publish_job.h"

#include "publishing/publish_texts.h"

#include <cctype>

namespace vistrel {

using namespace publish_texts;

namespace {

// Deeper than any site nests its folders; a server that lists a sub-folder in every folder would
// otherwise make the walk recurse without end.
constexpr int kMaxDeleteDepth = 32;

// A name that a DELE, CWD or RMD may carry: one plain component of the folder being emptied. A
// listing that names "..", or a path, would lead the deletion out of the remote root.
bool IsPlainRemoteName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\\') == std::string::npos;
}

} // namespace

TListingLine ClassifyListingLine(const std::string& line) {
    TListingLine entry;
    if (line.empty()) return entry;
    size_t blank = line.rfind(' ');
    char first = static_cast<char>(std::tolower(static_cast<unsigned char>(line[0])));
    if (first == 'd') {
        if (blank == std::string::npos) {
            // Counts as a folder line but names nothing; the caller skips the empty name.
            entry.kind = TListingEntry::Folder;
            return entry;
        }
        std::string name = line.substr(blank + 1);
        if (name != "." && name != "..") {
            entry.kind = TListingEntry::Folder;
            entry.name = name;
        }
        return entry;
    }
    if (line[0] == '-' && blank != std::string::npos) {
        entry.kind = TListingEntry::File;
        entry.name = line.substr(blank + 1);
    }
    return entry;
}

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
            FStopped = true;
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
    std::vector<std::string> lines = ReceiveListing("-l", false);
    std::vector<std::string> folders;
    int position = 0;
    for (const std::string& line : lines) {
        position = position + 1 >= 100 ? 0 : position + 1;
        view_.SetDeleteProgress(position);
        TListingLine entry = ClassifyListingLine(line);
        if (entry.kind == TListingEntry::Folder) {
            if (IsPlainRemoteName(entry.name)) folders.push_back(entry.name);
        } else if (IsPlainRemoteName(entry.name)) {
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
            FStopped = true;
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
