#pragma once
// The journal beside the transfer list ("transfer.lst.journal"): one line per change of the list
// while a run goes on, so that the bookkeeping of a file costs the same for the first file as for
// the ten-thousandth. "-" TAB path: the file's line left the list; "+" TAB line: the server
// confirmed the file, this is its line. Windows-1252, CR LF, appended only. The run folds it into
// transfer.lst at its end; a run after a crash folds what the crash left before it starts.
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace vistrel {

class TTransferJournal {
public:
    TTransferJournal() = default;
    ~TTransferJournal();
    TTransferJournal(const TTransferJournal&) = delete;
    TTransferJournal& operator=(const TTransferJournal&) = delete;

    // The journal of `listFile`.
    static std::filesystem::path PathFor(const std::filesystem::path& listFile);
    // Applies a journal left behind to the file lines of a list (by path); a torn last line is
    // ignored. False when there is none.
    static bool Replay(const std::filesystem::path& journal, std::map<std::string, std::string>& lines);

    // Starts the journal for `listFile`: an empty one, or (when the list could not take in the
    // journal a crash left) that journal continued. False when it cannot be opened.
    bool Start(const std::filesystem::path& listFile, bool empty = true);
    void Forgotten(const std::string& path);
    void Confirmed(const std::string& line);
    // Makes the appended lines durable when `now`, or when the batch is full or old enough.
    void Sync(bool now);
    // Closes and deletes the journal: its lines are in transfer.lst now.
    void Remove();
    bool Failed() const { return failed_; }

private:
    void Append(const std::string& text);

    std::filesystem::path path_;
    int fd_ = -1;
    int unsynced_ = 0;
    bool failed_ = false;
    std::chrono::steady_clock::time_point lastSync_;
};

} // namespace vistrel
