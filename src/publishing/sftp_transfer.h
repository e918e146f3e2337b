#pragma once
// Uploads over one SFTP channel with many requests on their way: each file is written under a
// temporary name in its folder, closed and renamed over the real name, so a visitor never sees a
// half-written page and a killed run leaves no torn file under the real name. Several files may be
// in progress at once; their writes, closes and renames share one window of outstanding requests.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace vistrel {

class TSftpChannel;

struct TSftpPutItem {
    std::filesystem::path local;
    std::string remote; // the full remote path of the file
};

// What the upload reports, on the worker thread, in the order it happened.
struct TSftpPutEvents {
    std::function<void(size_t index)> started;
    std::function<void(size_t index, int64_t bytes)> progress; // bytes the server took of the file so far
    std::function<void(size_t index)> sent;                    // the server holds the whole file
    // The file was not sent: `status` is the server's SFTP status, 0 when the local file could not
    // be read; `why` says it in English.
    std::function<void(size_t index, uint32_t status, const std::string& why)> failed;
};

struct TSftpPutLimits {
    size_t filesInFlight = 1;
    // The most data on its way, in writes of 32 KB (a larger write counts as several, a smaller
    // one as one): 64 as OpenSSH's sftp keeps.
    size_t requestsInFlight = 64;
    size_t chunkBytes = 32768; // the size of a WRITE: every server takes 32 KB

    const std::atomic<bool>* stop = nullptr; // once true, no further file is started
};

// The temporary name a file is written under: hidden, and recognisable so that a later run can
// remove what a killed one left behind.
std::string SftpTemporaryName(const std::string& name);
bool IsSftpTemporaryName(const std::string& name);

// Sends every item; a file the server refuses is reported and the others go on. Throws
// ESftpError when the channel fails: files reported sent before are on the server, the others in
// doubt.
void PutFiles(TSftpChannel& channel, const std::vector<TSftpPutItem>& items, const TSftpPutLimits& limits,
              const TSftpPutEvents& events);

} // namespace vistrel
