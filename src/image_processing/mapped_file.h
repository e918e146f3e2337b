#pragma once
// A picture file mapped read-only into memory. Readers see all of it as bytes, yet only the pages
// they touch are read, so a small picture padded to gigabytes costs no more memory than the picture.
#include "image_processing/dib_graphic.h"

#include <filesystem>

namespace vistrel {

class TMappedFile {
public:
    // Throws EImageError "Cannot open file ..." unless `name` is a regular file that can be mapped.
    explicit TMappedFile(const std::filesystem::path& name);
    ~TMappedFile();
    TMappedFile(const TMappedFile&) = delete;
    TMappedFile& operator=(const TMappedFile&) = delete;

    ByteView Bytes() const { return ByteView(static_cast<const uint8_t*>(address_), size_); }

private:
    void* address_ = nullptr;
    size_t size_ = 0;
};

} // namespace vistrel
