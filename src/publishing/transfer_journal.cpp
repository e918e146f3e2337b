#include "publishing/transfer_journal.h"

#include "common/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace vistrel {

namespace {

// One fsync per this many confirmations or this much time: a kill or a power cut loses at most
// that batch, which the next run sends again.
constexpr int kBatchFiles = 100;
constexpr auto kBatchInterval = std::chrono::seconds(1);

std::string PathOfLine(const std::string& line) {
    return line.substr(0, line.find('\t'));
}

} // namespace

TTransferJournal::~TTransferJournal() {
    if (fd_ >= 0) ::close(fd_);
}

std::filesystem::path TTransferJournal::PathFor(const std::filesystem::path& listFile) {
    std::filesystem::path journal = listFile;
    journal += ".journal";
    return journal;
}

bool TTransferJournal::Replay(const std::filesystem::path& journal,
                              std::map<std::string, std::string>& lines) {
    std::string bytes;
    if (!ReadFileBytes(journal, bytes)) return false;
    size_t start = 0;
    for (;;) {
        const size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) break; // a line the crash cut off never counted
        const std::string entry = bytes.substr(start, end - start);
        start = end + 2;
        if (entry.size() < 3 || entry[1] != '\t') continue;
        const std::string rest = entry.substr(2);
        if (entry[0] == '-')
            lines.erase(rest);
        else if (entry[0] == '+')
            lines[PathOfLine(rest)] = rest;
    }
    return true;
}

bool TTransferJournal::Start(const std::filesystem::path& listFile, bool empty) {
    if (fd_ >= 0) ::close(fd_);
    path_ = PathFor(listFile);
    unsynced_ = 0;
    lastSync_ = std::chrono::steady_clock::now();
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | (empty ? O_TRUNC : 0), 0644);
    failed_ = fd_ < 0;
    return !failed_;
}

void TTransferJournal::Append(const std::string& text) {
    // Reopened after Remove: a copy of the list that goes on after another copy finished.
    if (fd_ < 0 && !path_.empty())
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        failed_ = true;
        return;
    }
    const char* data = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t written = ::write(fd_, data, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            failed_ = true;
            return;
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
}

void TTransferJournal::Forgotten(const std::string& path) {
    Append("-\t" + path + "\r\n");
}

void TTransferJournal::Confirmed(const std::string& line) {
    Append("+\t" + line + "\r\n");
    ++unsynced_;
    Sync(false);
}

void TTransferJournal::Sync(bool now) {
    if (fd_ < 0 || unsynced_ == 0) return;
    if (!now && unsynced_ < kBatchFiles && std::chrono::steady_clock::now() - lastSync_ < kBatchInterval)
        return;
    if (::fdatasync(fd_) != 0) failed_ = true;
    unsynced_ = 0;
    lastSync_ = std::chrono::steady_clock::now();
}

void TTransferJournal::Remove() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove(path_, ec);
}

} // namespace vistrel
