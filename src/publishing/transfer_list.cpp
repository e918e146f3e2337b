#include "publishing/transfer_list.h"

#include "common/atomic_file.h"
#include "common/line_file.h"
#include "common/md5.h"

#include <algorithm>
#include <set>

namespace vistrel {

namespace {
// Confirmations are written together at most this often: one atomic write per small file would
// cost more than sending it. A kill loses at most this much, which the next run sends again.
constexpr auto kBatchInterval = std::chrono::milliseconds(500);
} // namespace

std::string TransferLine(const std::string& path, int64_t size, const std::string& digest) {
    return path + '\t' + std::to_string(size) + '\t' + digest;
}

std::string TTransferList::PathOf(const std::string& line) {
    return line.substr(0, line.find('\t'));
}

void TTransferList::Open(const std::filesystem::path& file, const std::string& host,
                         const std::string& remoteRoot, bool startEmpty) {
    file_ = file;
    host_ = host;
    root_ = remoteRoot;
    old_.clear();
    stored_.clear();
    writeFailed_ = false;
    lastWrite_ = std::chrono::steady_clock::now();
    std::vector<std::string> lines;
    bool matches = false;
    if (!startEmpty && ReadListFile(file, lines) && lines.size() >= 2) {
        std::string storedRoot = lines[1];
        if (storedRoot.empty() || storedRoot.back() != '/') storedRoot += '/';
        matches = lines[0] == host && storedRoot == remoteRoot;
    }
    if (!matches) {
        // Nothing the old file says is known to be true for this server and folder.
        dirty_ = true;
        Write();
        return;
    }
    SetOld(std::vector<std::string>(lines.begin() + 2, lines.end()));
    for (const std::string& line : old_)
        stored_.push_back({PathOf(line), line});
    dirty_ = false;
}

// Paths are compared exactly: on this system "Bild.jpg" and "bild.jpg" are two files, and a file
// renamed only in case must reach the (equally case-sensitive) web server under its new name.
void TTransferList::SetOld(std::vector<std::string> fileLines) {
    old_ = std::move(fileLines);
    std::sort(old_.begin(), old_.end());
}

bool TTransferList::IsUnchanged(const std::string& path, int64_t size, std::string& line) {
    line = TransferLine(path, size, Md5OfFile(path));
    for (TEntry& entry : stored_)
        if (entry.path == path) entry.seen = true;
    return std::binary_search(old_.begin(), old_.end(), line);
}

void TTransferList::Forget(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    std::set<std::string> gone(paths.begin(), paths.end());
    size_t before = stored_.size();
    stored_.erase(std::remove_if(stored_.begin(), stored_.end(),
                                 [&](const TEntry& entry) { return gone.count(entry.path) != 0; }),
                  stored_.end());
    if (stored_.size() == before) return;
    dirty_ = true;
    Write();
}

void TTransferList::ForgetAll() {
    stored_.clear();
    old_.clear();
    dirty_ = true;
    Write();
}

void TTransferList::Confirm(const std::string& line) {
    const std::string path = PathOf(line);
    stored_.erase(
        std::remove_if(stored_.begin(), stored_.end(), [&](const TEntry& e) { return e.path == path; }),
        stored_.end());
    stored_.push_back({path, line, true});
    dirty_ = true;
    Flush(false);
}

void TTransferList::Flush(bool now) {
    if (!dirty_) return;
    if (!now && std::chrono::steady_clock::now() - lastWrite_ < kBatchInterval) return;
    Write();
}

void TTransferList::Finish(bool completed) {
    if (completed) {
        size_t before = stored_.size();
        stored_.erase(std::remove_if(stored_.begin(), stored_.end(), [](const TEntry& e) { return !e.seen; }),
                      stored_.end());
        dirty_ = dirty_ || stored_.size() != before;
    }
    Flush(true);
}

std::vector<std::string> TTransferList::Lines() const {
    std::vector<std::string> lines{host_, root_};
    for (const TEntry& entry : stored_)
        lines.push_back(entry.line);
    return lines;
}

// Atomic: a failure leaves the previous file as it was. It is remembered, not raised: the run goes
// on, and the next one sends more than needed, never less.
void TTransferList::Write() {
    lastWrite_ = std::chrono::steady_clock::now();
    dirty_ = false;
    if (file_.empty()) return;
    try {
        WriteLineFile(file_, Lines());
    } catch (const EFileWriteError&) {
        writeFailed_ = true;
    }
}

} // namespace vistrel
