#include "site_generator/page_file.h"

#include "common/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vistrel {
namespace {

std::string JoinPage(const std::vector<std::string>& lines) {
    size_t size = 0;
    for (const std::string& line : lines) size += line.size() + 2;
    std::string bytes;
    bytes.reserve(size);
    for (const std::string& line : lines) {
        bytes += line;
        bytes += "\r\n";
    }
    return bytes;
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

void WritePageFile(const std::filesystem::path& file, const std::vector<std::string>& lines) {
    std::string temp = file.string() + ".tmpXXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) throw EFileWriteError(file.string() + ": " + std::strerror(errno));
    // mkstemp makes the file private; pages are meant to be read by a web server.
    ::fchmod(fd, 0644);
    bool ok = WriteAll(fd, JoinPage(lines));
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temp.c_str(), file.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        throw EFileWriteError(file.string() + ": " + std::strerror(error));
    }
}

} // namespace vistrel
