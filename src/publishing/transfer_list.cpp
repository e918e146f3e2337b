#include "publishing/transfer_list.h"

#include "common/line_file.h"
#include "common/md5.h"

#include <algorithm>

namespace vistrel {

std::string TransferLine(const std::string& path, int64_t size, const std::string& digest) {
    return path + '\t' + std::to_string(size) + '\t' + digest;
}

void TTransferList::LoadOld(const std::filesystem::path& file, const std::string& host,
                            const std::string& remoteRoot, bool transferAll) {
    old_.clear();
    std::vector<std::string> lines;
    if (transferAll || !ReadListFile(file, lines) || lines.size() < 2) return;
    std::string storedRoot = lines[1];
    if (storedRoot.empty() || storedRoot.back() != '/') storedRoot += '/';
    if (lines[0] != host || storedRoot != remoteRoot) return;
    SetOld(std::vector<std::string>(lines.begin() + 2, lines.end()));
}

// Paths are compared exactly: on this system "Bild.jpg" and "bild.jpg" are two files, and a file
// renamed only in case must reach the (equally case-sensitive) web server under its new name.
void TTransferList::SetOld(std::vector<std::string> fileLines) {
    old_ = std::move(fileLines);
    std::sort(old_.begin(), old_.end());
}

void TTransferList::StartNew(const std::string& host, const std::string& remoteRoot) {
    new_ = {host, remoteRoot};
    dropped_ = {false, false};
}

bool TTransferList::Contains(const std::string& line) const {
    return std::binary_search(old_.begin(), old_.end(), line);
}

bool TTransferList::IsUnchanged(const std::string& path, int64_t size, size_t& index) {
    std::string line = TransferLine(path, size, Md5OfFile(path));
    index = new_.size();
    new_.push_back(line);
    dropped_.push_back(false);
    return Contains(line);
}

void TTransferList::Drop(size_t index) {
    if (index >= 2 && index < dropped_.size()) dropped_[index] = true;
}

bool TTransferList::IsDropped(size_t index) const { return index < dropped_.size() && dropped_[index]; }

std::vector<std::string> TTransferList::NewLines() const {
    std::vector<std::string> lines;
    for (size_t i = 0; i < new_.size(); ++i)
        if (!dropped_[i]) lines.push_back(new_[i]);
    return lines;
}

void TTransferList::Write(const std::filesystem::path& file) const { WriteLineFile(file, NewLines()); }

} // namespace vistrel
