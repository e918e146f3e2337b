#pragma once
// The transfer list "transfer.lst": which files the last run took up, so that a run sends only what
// changed. Line 1 is the FTP host, line 2 the remote root ending in "/", then one line per file:
// full local path, TAB, size in bytes, TAB, MD5 digest (32 upper-case hex digits, empty when the
// file could not be read; the size is -1 when it was not found). Windows-1252 text with CR LF.
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
    // unreadable file, one written for another host or root (compared exactly, letter case
    // included), or `transferAll` leave the old list empty, so every file counts as changed. A
    // stored root without its final "/" still matches.
    void LoadOld(const std::filesystem::path& file, const std::string& host, const std::string& remoteRoot,
                 bool transferAll);
    void SetOld(std::vector<std::string> fileLines);
    void ClearOld() { old_.clear(); }
    const std::vector<std::string>& Old() const { return old_; }

    // Starts the list of this run with its two header lines.
    void StartNew(const std::string& host, const std::string& remoteRoot);
    // Adds the file's line to the new list and answers whether the old list holds the same line.
    // `index` receives the position of the new line, for Drop().
    bool IsUnchanged(const std::string& path, int64_t size, size_t& index);
    // Takes a file's line out again: the file was not sent after all. Further indexes stay valid.
    void Drop(size_t index);
    bool IsDropped(size_t index) const;
    // The lines that would be written now (headers first, dropped lines left out).
    std::vector<std::string> NewLines() const;
    // Written atomically: a failure leaves the previous list as it was. Throws EFileWriteError.
    void Write(const std::filesystem::path& file) const;

private:
    bool Contains(const std::string& line) const;

    std::vector<std::string> old_; // sorted, searched by halving
    std::vector<std::string> new_;
    std::vector<bool> dropped_;
};

} // namespace vistrel
