#pragma once
// The transfer list "transfer.lst": which files stand complete on the server, so that a run sends
// only what changed. Line 1 is the FTP host, line 2 the remote root ending in "/", then one line
// per file: full local path, TAB, size in bytes, TAB, MD5 digest (32 upper-case hex digits, empty
// when the file could not be read; the size is -1 when it was not found). Windows-1252, CR LF.
//
// The stored file never claims more than the server holds: a file's line leaves it (written
// atomically) before the file is sent again or deleted, and comes back only after the server
// confirmed the upload. A run stopped by anything, a kill or a power cut included, therefore
// leaves a list after which the next run sends exactly what is missing or in doubt.
#include <chrono>
#include <cstdint>
#include <filesystem>
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
    // still matches.
    void Open(const std::filesystem::path& file, const std::string& host, const std::string& remoteRoot,
              bool startEmpty);
    // For tests: the file lines as if loaded.
    void SetOld(std::vector<std::string> fileLines);
    const std::vector<std::string>& Old() const { return old_; }

    // The file's line as it is now, and whether the list of the last run holds exactly that line.
    // The line is remembered as seen in this run.
    bool IsUnchanged(const std::string& path, int64_t size, std::string& line);
    // Before these files are sent again: their lines leave the stored list, written now.
    void Forget(const std::vector<std::string>& paths);
    // Before everything on the server is deleted: the stored list becomes empty, written now.
    void ForgetAll();
    // The server confirmed the file: its line goes into the stored list (written soon, see Flush).
    void Confirm(const std::string& line);
    // Writes pending confirmations when the last write is longer ago than the batching interval;
    // `now` writes them at once.
    void Flush(bool now);
    // The end of a run. A completed run keeps only the files seen in it (files gone from the plan
    // drop out); any other keeps every line that is still true.
    void Finish(bool completed);

    std::vector<std::string> Lines() const; // headers first
    bool WriteFailed() const { return writeFailed_; }

private:
    struct TEntry {
        std::string path;
        std::string line;
        bool seen = false;
    };
    void Write();
    static std::string PathOf(const std::string& line);

    std::filesystem::path file_;
    std::string host_;
    std::string root_;
    std::vector<std::string> old_; // sorted, searched by halving
    std::vector<TEntry> stored_;   // what the file holds (or will after the next write)
    bool dirty_ = false;
    bool writeFailed_ = false;
    std::chrono::steady_clock::time_point lastWrite_;
};

} // namespace vistrel
