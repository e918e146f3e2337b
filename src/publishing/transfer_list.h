#pragma once
// The transfer list "transfer.lst": which files stand complete on the server, so that a run sends
// only what changed. Line 1 names the destination (TransferListDestination), line 2 the remote root ending in
// "/", then one line per file: full local path, TAB, size in bytes, TAB, MD5 digest (32 upper-case hex
// digits, empty when the file could not be read; the size is -1 when it was not found). Windows-1252, CR LF.
//
// The stored list (transfer.lst with its journal, see transfer_journal.h) never claims more than the
// server holds: a file's line leaves it before the file is sent again or deleted, and comes back
// only after the server confirmed the upload. While a run goes on, each change is one line
// appended to the journal, with one fsync per batch; the run's end writes transfer.lst whole
// (atomically) and drops the journal. A run stopped by anything, a kill or a power cut included,
// therefore leaves a list after which the next run sends exactly what is missing or in doubt, plus
// at most the confirmations of the last batch.
#include "publishing/transfer_journal.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vistrel {

// path + TAB + size + TAB + digest.
std::string TransferLine(const std::string& path, int64_t size, const std::string& digest);

class TTransferList {
public:
    // Loads the list of the last run for `host` and `remoteRoot` (which ends in "/"). A missing or
    // unreadable file, or one written for another host or root (compared exactly, letter case
    // included), counts as empty; so does `startEmpty` ("Alle Dateien übertragen", deleting
    // everything), which also stores the empty list at once. A stored root without its final "/"
    // still matches. A journal a crashed run left is folded in first.
    void Open(const std::filesystem::path& file, const std::string& host, const std::string& remoteRoot,
              bool startEmpty);
    // The stored list as the next run would load it, journal included (headers first).
    static std::vector<std::string> ReadStored(const std::filesystem::path& file);
    // For tests: the file lines as if loaded.
    void SetOld(std::vector<std::string> fileLines);
    const std::vector<std::string>& Old() const { return old_; }

    // The file's line as it is now, and whether the list of the last run holds exactly that line.
    // The line is remembered as seen in this run.
    bool IsUnchanged(const std::string& path, int64_t size, std::string& line);
    // The file is about to be sent because it changed: its line leaves the list. Durable with the
    // next batch: until then the stored line names the file's old contents, which no run matches.
    void Take(const std::string& path);
    // Before these files are sent again although their lines still match: the lines leave the
    // stored list, durable now.
    void Forget(const std::vector<std::string>& paths);
    // Before everything on the server is deleted: the stored list becomes empty, written now.
    void ForgetAll();
    // The server confirmed the file: its line goes into the stored list (durable soon, see Flush).
    void Confirm(const std::string& line);
    // Makes pending confirmations durable when the batch is full or old enough; `now` at once.
    void Flush(bool now);
    // The end of a run. A completed run keeps only the files seen in it (files gone from the plan
    // drop out); any other keeps every line that is still true.
    void Finish(bool completed);

    std::vector<std::string> Lines() const; // headers first
    bool WriteFailed() const { return writeFailed_ || (journal_ && journal_->Failed()); }

private:
    struct TEntry {
        std::string line;
        bool seen = false;
    };
    void Write();
    static std::string PathOf(const std::string& line);

    std::filesystem::path file_;
    std::string host_;
    std::string root_;
    std::vector<std::string> old_;         // sorted, searched by halving
    std::map<std::string, TEntry> stored_; // by path: what the stored list holds
    // Shared by copies of the list: one journal per list file.
    std::shared_ptr<TTransferJournal> journal_;
    bool writeFailed_ = false;
};

} // namespace vistrel
