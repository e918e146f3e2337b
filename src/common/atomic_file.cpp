#include "common/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace vistrel {
namespace {

std::string SystemError(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

// Writes all bytes, continuing after short writes and interrupted calls.
bool WriteAll(int fd, std::string_view bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

std::filesystem::path AtomicTempPattern(const std::filesystem::path& path) {
    return path.parent_path() / ("." + path.filename().string() + ".tmpXXXXXX");
}

void TPendingFile::Write(const std::filesystem::path& path, std::string_view bytes, TDurability durability) {
    std::string temp = AtomicTempPattern(path).string();
    int fd = ::mkstemp(temp.data());
    if (fd < 0) throw EFileWriteError(SystemError(path.string(), errno));
    // mkstemp creates the file with mode 0600; a rewritten file keeps the usual permissions.
    struct stat old {};
    mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    ::fchmod(fd, mode);
    bool ok = WriteAll(fd, bytes) && (durability == TDurability::Unsynced || ::fsync(fd) == 0);
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        throw EFileWriteError(SystemError(path.string(), error));
    }
    path_ = path;
    temp_ = std::move(temp);
}

void TPendingFile::Commit() {
    std::string temp = std::move(temp_);
    temp_.clear();
    if (::rename(temp.c_str(), path_.c_str()) != 0) {
        int error = errno;
        ::unlink(temp.c_str());
        throw EFileWriteError(SystemError(path_.string(), error));
    }
}

TPendingFile::~TPendingFile() {
    if (!temp_.empty()) ::unlink(temp_.c_str());
}

void WriteFileAtomic(const std::filesystem::path& path, std::string_view bytes, TDurability durability) {
    TPendingFile file;
    file.Write(path, bytes, durability);
    file.Commit();
}

bool ReadFileBytes(const std::filesystem::path& path, std::string& bytes) {
    // A folder opens as a stream on Linux and reports a nonsense size: only regular files are read.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0) return false;
    in.seekg(0, std::ios::beg);
    bytes.resize(static_cast<size_t>(size));
    if (size > 0 && !in.read(bytes.data(), size)) return false;
    return true;
}

} // namespace vistrel
