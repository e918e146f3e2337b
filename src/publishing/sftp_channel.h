#pragma once
// The SFTP protocol over one SSH channel. libssh 0.10's own SFTP calls wait for each write's
// answer before the next, which caps a link with a 50 ms round trip at a few hundred KB/s; speaking
// the protocol ourselves lets many requests, of one file and of several, be on their way at once.
// Every call blocks: a TSftpChannel lives on the session's worker thread (see sftp_session.h).
#include "publishing/sftp_packets.h"

#include <functional>
#include <string>
#include <vector>

struct ssh_session_struct;
struct ssh_channel_struct;

namespace vistrel {

class TSftpChannel {
public:
    // `moved` is called whenever bytes went out or came in: the session's stall bound watches it.
    TSftpChannel(ssh_session_struct* session, std::function<void()> moved);
    ~TSftpChannel();
    TSftpChannel(const TSftpChannel&) = delete;
    TSftpChannel& operator=(const TSftpChannel&) = delete;

    // Opens the channel, starts the "sftp" subsystem and agrees on version 3.
    void Start();
    // Sends EOF and closes the channel; errors are ignored, the session is going anyway.
    void Stop();
    // The server renames over an existing file in one step (OpenSSH's posix-rename extension).
    bool HasPosixRename() const { return posixRename_; }
    // The largest WRITE the server takes: what it says (OpenSSH: 255 KB), else 32 KB, which every
    // server takes. Fewer, larger writes cost the server and us less per byte. Known once the
    // first request after Start was answered.
    size_t WriteSize() const { return writeSize_; }
    // How many files the server lets us hold open at once; 0 when it does not say.
    size_t MaxHandles() const { return maxHandles_; }

    uint32_t NextId() { return nextId_++; }
    void Send(TSftpPacket& packet);
    // The next answer, whichever request it belongs to.
    TSftpReply Receive();
    // Sends `packet` (built with `id`) and waits for its answer; nothing else may be outstanding.
    TSftpReply Call(TSftpPacket& packet, uint32_t id);

    // The simple requests, one round trip each. They return the status code (0 is success).
    uint32_t MakeDir(const std::string& path);
    // MKDIR and STAT of `path` sent together, so one round trip says whether the folder was made
    // and whether a folder stands there now (made by us or before).
    struct TMadeFolder {
        uint32_t status = 0; // of the MKDIR
        bool isFolder = false;
    };
    TMadeFolder MakeDirChecked(const std::string& path);
    // The same for several paths, all sent before the first answer is awaited; a parent comes
    // before its child, and the server takes requests in order.
    std::vector<TMadeFolder> MakeDirsChecked(const std::vector<std::string>& paths);
    // What `path` is, links followed. Throws ESftpError (Status) when the server cannot say.
    TSftpName Stat(const std::string& path);
    uint32_t RemoveFile(const std::string& path);
    uint32_t RemoveDir(const std::string& path);
    uint32_t Rename(const std::string& from, const std::string& to);
    // The absolute form of `path` ("." is the login folder). Throws ESftpError (Status).
    std::string RealPath(const std::string& path);
    // Every entry of a folder except "." and "..", with the server's own modes (for a link, the
    // link's, as OpenSSH lists them). Throws ESftpError (Status) when the folder cannot be read.
    std::vector<TSftpName> List(const std::string& path);

private:
    void AskLimits();
    void TakeLimits(const TSftpReply& reply);
    TSftpReply ReceiveAny();
    void ReadExact(char* buffer, size_t count);
    uint32_t StatusOf(const TSftpReply& reply, uint32_t id) const;

    ssh_session_struct* session_;
    ssh_channel_struct* channel_ = nullptr;
    std::function<void()> moved_;
    uint32_t nextId_ = 1;
    bool posixRename_ = false;
    size_t writeSize_ = kSftpSafeWrite;
    size_t maxHandles_ = 0;
    uint32_t limitsId_ = 0; // the limits request whose answer is still to come
};

// The request that renames `from` over `to`: posix-rename where offered.
TSftpPacket RenamePacket(uint32_t id, bool posixRename, const std::string& from, const std::string& to);

} // namespace vistrel
