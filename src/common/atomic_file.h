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

// Whether a rewritten file is flushed to the disk before it replaces the old one. Stored data (album
// lists, settings, pictures, the transfer list) is; generated pages need not be: a site is thousands
// of pages that every run writes anew from the albums, so a page lost to a power cut costs only the
// next run, while one fsync per page made a 10,000-page site take over a minute instead of seconds.
enum class TDurability { Synced, Unsynced };

// Replaces `path` whole with `bytes`: the data goes to a temporary file in the same folder, which is
// renamed over the old file, so a failure leaves the previous file intact. The temporary file's name
// starts with "." (".<name>.tmpXXXXXX"), so that every folder listing of the program, the CD-ROM
// export and the upload skip one that a crash left behind.
// Throws EFileWriteError on failure; the temporary file is removed then.
void WriteFileAtomic(const std::filesystem::path& path, std::string_view bytes,
                     TDurability durability = TDurability::Synced);

// WriteFileAtomic in two steps, for a file that is to replace the old one only once others are
// written, while its bytes go to the disk beside them: Write fills and syncs the temporary file,
// Commit renames it over the path. A temporary file never committed is removed with the object.
// Both throw EFileWriteError.
class TPendingFile {
public:
    TPendingFile() = default;
    ~TPendingFile();
    TPendingFile(const TPendingFile&) = delete;
    TPendingFile& operator=(const TPendingFile&) = delete;

    void Write(const std::filesystem::path& path, std::string_view bytes,
               TDurability durability = TDurability::Synced);
    void Commit();

private:
    std::filesystem::path path_;
    std::string temp_; // empty when nothing is pending
};

// The temporary file name WriteFileAtomic uses for `path`, with its six placeholder characters.
std::filesystem::path AtomicTempPattern(const std::filesystem::path& path);

// Reads a whole file as bytes. Returns false when it cannot be opened or read.
bool ReadFileBytes(const std::filesystem::path& path, std::string& bytes);

} // namespace vistrel
