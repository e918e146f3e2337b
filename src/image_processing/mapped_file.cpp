#include "image_processing/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vistrel {

TMappedFile::TMappedFile(const std::filesystem::path& name) {
    auto fail = [&name]() { return EImageError("Cannot open file " + name.string()); };
    int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw fail();
    struct stat info {};
    // A folder or a device is no picture file, and its size says nothing about its content.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        throw fail();
    }
    size_ = size_t(info.st_size);
    if (size_ > 0) {
        address_ = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
        if (address_ == MAP_FAILED) {
            address_ = nullptr;
            ::close(fd);
            throw fail();
        }
        // Readers mostly go front to back; read ahead generously.
        ::madvise(address_, size_, MADV_SEQUENTIAL);
    }
    ::close(fd);
}

TMappedFile::~TMappedFile() {
    if (address_) ::munmap(address_, size_);
}

} // namespace vistrel
