#pragma once
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vistrel {

// A file write that failed; what() is the system's error text (English).
class EFileWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Replaces `path` whole with `bytes`: the data goes to a temporary file in the same folder, which is
// flushed to disk and then renamed over the old file, so a failure leaves the previous file intact.
// Throws EFileWriteError on failure; the temporary file is removed then.
void WriteFileAtomic(const std::filesystem::path& path, std::string_view bytes);

// Reads a whole file as bytes. Returns false when it cannot be opened or read.
bool ReadFileBytes(const std::filesystem::path& path, std::string& bytes);

} // namespace vistrel
