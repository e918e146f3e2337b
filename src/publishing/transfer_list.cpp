#include "publishing/transfer_list.h"

#include "common/atomic_file.h"
#include "common/line_file.h"
#include "common/md5.h"

#include <algorithm>

namespace vistrel {

std::string TransferLine(const std::string& path, int64_t size, const std::string& digest) {
    return path + '\t' + std::to_string(size) + '\t' + digest;
}

std::string TTransferList::PathOf(const std::string& line) {
    return line.substr(0, line.find('\t'));
}

std::vector<std::string> TTransferList::ReadStored(const std::filesystem::path& file) {
    std::vector<std::string> lines;
    if (!ReadListFile(file, lines) || lines.size() < 2) return lines;
    std::map<std::string, std::string> byPath;
    for (size_t i = 2; i < lines.size(); ++i)
        byPath[PathOf(lines[i])] = lines[i];
    if (!TTransferJournal::Replay(TTransferJournal::PathFor(file), byPath)) return lines;
    lines.resize(2);
    for (const auto& [path, line] : byPath)
        lines.push_back(line);
    return lines;
}

void TTransferList::Open(const std::filesystem::path& file, const std::string& host,
                         const std::string& remoteRoot, bool startEmpty) {
    file_ = file;
    host_ = host;
    root_ = remoteRoot;
    old_.clear();
    stored_.clear();
    writeFailed_ = false;
    journal_ = std::make_shared<TTransferJournal>();
    const bool crashed = std::filesystem::exists(TTransferJournal::PathFor(file));
    std::vector<std::string> lines = ReadStored(file);
    bool matches = false;
    if (!startEmpty && lines.size() >= 2) {
        std::string storedRoot = lines[1];
        if (storedRoot.empty() || storedRoot.back() != '/') storedRoot += '/';
        matches = lines[0] == host && storedRoot == remoteRoot;
    }
    // Nothing the old file says is known to be true for this server and folder.
    if (!matches) lines.resize(std::min<size_t>(lines.size(), 2));
    SetOld(std::vector<std::string>(lines.begin() + std::min<size_t>(lines.size(), 2), lines.end()));
    for (const std::string& line : old_)
        stored_[PathOf(line)] = {line, false};
    // The journal of a run that did not end is folded in before this run starts its own.
    if (!matches || crashed) Write();
    if (!journal_->Start(file_, !writeFailed_)) writeFailed_ = true;
}

// Paths are compared exactly: on this system "Bild.jpg" and "bild.jpg" are two files, and a file
// renamed only in case must reach the (equally case-sensitive) web server under its new name.
void TTransferList::SetOld(std::vector<std::string> fileLines) {
    old_ = std::move(fileLines);
    std::sort(old_.begin(), old_.end());
}

bool TTransferList::IsUnchanged(const std::string& path, int64_t size, std::string& line) {
    line = TransferLine(path, size, Md5OfFile(path));
    auto stored = stored_.find(path);
    if (stored != stored_.end()) stored->second.seen = true;
    return std::binary_search(old_.begin(), old_.end(), line);
}

void TTransferList::Take(const std::string& path) {
    if (stored_.erase(path) == 0 || !journal_) return;
    journal_->Forgotten(path);
}

void TTransferList::Forget(const std::vector<std::string>& paths) {
    bool changed = false;
    for (const std::string& path : paths) {
        if (stored_.erase(path) == 0 || !journal_) continue;
        journal_->Forgotten(path);
        changed = true;
    }
    if (changed) journal_->Sync(true);
}

void TTransferList::ForgetAll() {
    stored_.clear();
    old_.clear();
    Write();
    if (journal_ && !journal_->Start(file_)) writeFailed_ = true;
}

void TTransferList::Confirm(const std::string& line) {
    stored_[PathOf(line)] = {line, true};
    if (journal_) journal_->Confirmed(line);
}

void TTransferList::Flush(bool now) {
    if (journal_) journal_->Sync(now);
}

// The journal's lines go into transfer.lst, written whole; then the journal goes.
void TTransferList::Finish(bool completed) {
    if (completed) std::erase_if(stored_, [](const auto& entry) { return !entry.second.seen; });
    Write();
    if (!writeFailed_ && journal_) journal_->Remove();
}

std::vector<std::string> TTransferList::Lines() const {
    std::vector<std::string> lines{host_, root_};
    for (const auto& [path, entry] : stored_)
        lines.push_back(entry.line);
    return lines;
}

// Atomic: a failure leaves the previous file as it was. It is remembered, not raised: the run goes
// on, and the next one sends more than needed, never less.
void TTransferList::Write() {
    if (file_.empty()) return;
    try {
        WriteLineFile(file_, Lines());
    } catch (const EFileWriteError&) {
        writeFailed_ = true;
    }
}

} // namespace vistrel
