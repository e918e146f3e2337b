#include "publishing/sftp_transfer.h"

#include "publishing/sftp_channel.h"
#include "publishing/sftp_error.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <list>
#include <map>
#include <memory>

namespace vistrel {

namespace {

constexpr const char* kTemporarySuffix = ".vistrel-part";
// Writes on their way before the link's round trip is known, and on a short link.
constexpr size_t kFewestWrites = 16;

using TClock = std::chrono::steady_clock;

// What a request on its way was for.
enum class TKind {
    Open,     // OPEN of the temporary name
    Write,    // one WRITE of the file's data
    Close,    // CLOSE, sent right after the last WRITE: the server handles a handle's requests in
              // order, and its answer is the last chance to hear of a full disk
    ClearOld, // without posix-rename: REMOVE of the old file, RENAME follows
    Rename,   // RENAME over the real name, once CLOSE and every WRITE were confirmed
    CleanUp,  // the file failed: REMOVE of the temporary name
};

struct TFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

struct TActiveFile {
    size_t index = 0;
    std::string temporary;
    std::unique_ptr<std::FILE, TFileCloser> in;
    std::string handle;
    bool opened = false;
    bool closeSent = false;
    bool closed = false;
    uint64_t offset = 0;
    int64_t confirmed = 0;
    size_t writesOut = 0;
    bool allRead = false;
    bool failed = false;
    uint32_t failStatus = 0;
    std::string failWhy;
};

class TPipeline {
public:
    TPipeline(TSftpChannel& channel, const std::vector<TSftpPutItem>& items, const TSftpPutLimits& limits,
              const TSftpPutEvents& events)
        : channel_(channel), items_(items), limits_(limits), events_(events), chunk_(limits.chunkBytes) {}

    void Run() {
        while ((next_ < items_.size() && !Stopping()) || !active_.empty()) {
            StartFiles();
            FillWrites();
            if (waiting_.empty()) continue;
            Handle(channel_.Receive());
        }
    }

private:
    struct TRequest {
        TActiveFile* file;
        TKind kind;
        size_t bytes;
        TClock::time_point sent;
    };

    // The data on its way follows the link's round trip, as the quickest OPEN shows it: on a
    // short link a little is enough, and more only queues up in the server's buffers (on loopback
    // 64 writes of 32 KB on their way took half again as long as 16); a long link needs up to
    // 2 MB, 32 KB per 0.8 ms of round trip to carry 40 MB/s.
    void LearnRoundTrip(TClock::duration trip) {
        if (trip >= fastestTrip_) return;
        fastestTrip_ = trip;
        const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(trip).count();
        windowBytes_ = std::clamp<size_t>(size_t(micros / 800), kFewestWrites, limits_.requestsInFlight) *
                       kSftpSafeWrite;
    }

    static size_t WindowShare(size_t bytes) { return std::max(bytes, kSftpSafeWrite); }

    bool Stopping() const { return limits_.stop && limits_.stop->load(); }

    void Send(TActiveFile& file, TKind kind, TSftpPacket& packet, uint32_t id, size_t bytes = 0) {
        channel_.Send(packet);
        waiting_[id] = {&file, kind, bytes, TClock::now()};
    }

    void StartFiles() {
        while (active_.size() < limits_.filesInFlight && next_ < items_.size() && !Stopping()) {
            const size_t index = next_++;
            const TSftpPutItem& item = items_[index];
            if (events_.started) events_.started(index);
            TActiveFile& file = active_.emplace_back();
            file.index = index;
            const auto slash = item.remote.rfind('/');
            const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
            file.temporary =
                item.remote.substr(0, nameStart) + SftpTemporaryName(item.remote.substr(nameStart));
            const uint32_t id = channel_.NextId();
            TSftpPacket open(sftp_type::Open, id);
            open.Str(file.temporary)
                .U32(sftp_open::Write | sftp_open::Create | sftp_open::Truncate)
                .Permissions(0644);
            Send(file, TKind::Open, open, id);
        }
    }

    // Keeps the window of outstanding requests full, the oldest file first, so files complete in
    // the order they were started.
    void FillWrites() {
        for (TActiveFile& file : active_) {
            if (!file.opened || file.closeSent) continue;
            while (!file.allRead && windowUsed_ < windowBytes_)
                WriteChunk(file);
            if (file.allRead) {
                const uint32_t id = channel_.NextId();
                TSftpPacket close(sftp_type::Close, id);
                close.Str(file.handle);
                file.closeSent = true;
                Send(file, TKind::Close, close, id);
            }
        }
    }

    // The local file is open only while its data goes out: hundreds of files on their way, in
    // several sessions, would otherwise run out of file descriptors. One that cannot be read
    // fails, and its temporary file on the server goes.
    void WriteChunk(TActiveFile& file) {
        const std::string cannotRead = "cannot read " + items_[file.index].local.string();
        if (!file.in) {
            file.in.reset(std::fopen(items_[file.index].local.c_str(), "rb"));
            if (!file.in) return Fail(file, 0, cannotRead);
        }
        const size_t got = std::fread(chunk_.data(), 1, chunk_.size(), file.in.get());
        if (got < chunk_.size()) {
            file.allRead = true;
            const bool error = std::ferror(file.in.get());
            file.in.reset();
            if (error) return Fail(file, 0, cannotRead);
            if (got == 0) return;
        }
        const uint32_t id = channel_.NextId();
        TSftpPacket write(sftp_type::Write, id);
        write.Str(file.handle).U64(file.offset).Str(std::string_view(chunk_.data(), got));
        file.offset += got;
        ++file.writesOut;
        windowUsed_ += WindowShare(got);
        Send(file, TKind::Write, write, id, got);
    }

    void Fail(TActiveFile& file, uint32_t status, const std::string& why) {
        if (file.failed) return;
        file.failed = true;
        file.failStatus = status;
        file.failWhy = why;
        file.allRead = true; // no more writes
        file.in.reset();
    }

    void Handle(const TSftpReply& reply) {
        const auto found = waiting_.find(reply.id);
        if (found == waiting_.end())
            throw ESftpError(TSftpFailure::Protocol, "SFTP reply to a request never made");
        const TRequest request = found->second;
        waiting_.erase(found);
        TActiveFile& file = *request.file;
        const bool ok = reply.type == sftp_type::Status && reply.status == sftp_status::Ok;
        const std::string why = "SFTP status " + std::to_string(reply.status) +
                                (reply.message.empty() ? "" : " (" + reply.message + ")");
        switch (request.kind) {
        case TKind::Open:
            LearnRoundTrip(TClock::now() - request.sent);
            if (reply.type == sftp_type::Handle) {
                file.handle = reply.handle;
                file.opened = true;
            } else {
                Fail(file, reply.status, why);
                Finish(file);
            }
            return;
        case TKind::Write:
            --file.writesOut;
            windowUsed_ -= WindowShare(request.bytes);
            if (!ok) {
                Fail(file, reply.status, why);
            } else {
                file.confirmed += int64_t(request.bytes);
                if (events_.progress) events_.progress(file.index, file.confirmed);
            }
            break;
        case TKind::Close:
            file.closed = true;
            if (!ok) Fail(file, reply.status, why);
            break;
        case TKind::ClearOld:
            // A missing old file is what we want; any other refusal shows in the RENAME.
            Rename(file, TKind::Rename);
            return;
        case TKind::Rename:
            if (ok) {
                events_.sent(file.index);
                Finish(file);
            } else {
                Fail(file, reply.status, why);
                CleanUp(file);
            }
            return;
        case TKind::CleanUp:
            Finish(file);
            return;
        }
        // Only a file whose every write and whose close the server confirmed replaces the old one.
        if (file.closed && file.writesOut == 0) {
            if (file.failed)
                CleanUp(file);
            else
                Rename(file, channel_.HasPosixRename() ? TKind::Rename : TKind::ClearOld);
        }
    }

    void Rename(TActiveFile& file, TKind kind) {
        const std::string& target = items_[file.index].remote;
        const uint32_t id = channel_.NextId();
        if (kind == TKind::ClearOld) {
            // Plain RENAME refuses an existing target: the old file goes first.
            TSftpPacket remove(sftp_type::Remove, id);
            remove.Str(target);
            Send(file, kind, remove, id);
            return;
        }
        TSftpPacket rename = RenamePacket(id, channel_.HasPosixRename(), file.temporary, target);
        Send(file, kind, rename, id);
    }

    void CleanUp(TActiveFile& file) {
        const uint32_t id = channel_.NextId();
        TSftpPacket remove(sftp_type::Remove, id);
        remove.Str(file.temporary);
        Send(file, TKind::CleanUp, remove, id);
    }

    // The file leaves the pipeline; a failure is reported now, after its temporary file went.
    void Finish(TActiveFile& file) {
        if (file.failed) events_.failed(file.index, file.failStatus, file.failWhy);
        active_.remove_if([&file](const TActiveFile& other) { return &other == &file; });
    }

    TSftpChannel& channel_;
    const std::vector<TSftpPutItem>& items_;
    TSftpPutLimits limits_;
    const TSftpPutEvents& events_;
    std::vector<char> chunk_;
    std::list<TActiveFile> active_;
    std::map<uint32_t, TRequest> waiting_;
    // The WRITE requests on their way, of all files, each counted as at least 32 KB: many small
    // writes queue up at the server as much as few large ones, and the files' renames wait
    // behind them.
    size_t windowUsed_ = 0;
    size_t windowBytes_ = kFewestWrites * kSftpSafeWrite;
    TClock::duration fastestTrip_ = TClock::duration::max();
    size_t next_ = 0;
};

} // namespace

std::string SftpTemporaryName(const std::string& name) {
    return "." + name + kTemporarySuffix;
}

bool IsSftpTemporaryName(const std::string& name) {
    const std::string suffix = kTemporarySuffix;
    return name.size() > suffix.size() + 1 && name[0] == '.' &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void PutFiles(TSftpChannel& channel, const std::vector<TSftpPutItem>& items, const TSftpPutLimits& limits,
              const TSftpPutEvents& events) {
    TPipeline(channel, items, limits, events).Run();
}

} // namespace vistrel
