#include "publishing/sftp_channel.h"

#include "publishing/sftp_error.h"

#include <libssh/libssh.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <set>

namespace vistrel {

namespace {

constexpr const char* kPosixRename = "posix-rename@openssh.com";
constexpr const char* kLimits = "limits@openssh.com";
constexpr size_t kMaxListing = 1000000;

[[noreturn]] void Lost(ssh_session session, const std::string& what) {
    throw ESftpError(TSftpFailure::Lost, what + ": " + ssh_get_error(session));
}

std::string StatusText(uint32_t status, const std::string& message) {
    return "SFTP status " + std::to_string(status) + (message.empty() ? "" : " (" + message + ")");
}

} // namespace

TSftpPacket RenamePacket(uint32_t id, bool posixRename, const std::string& from, const std::string& to) {
    if (!posixRename) {
        TSftpPacket packet(sftp_type::Rename, id);
        packet.Str(from).Str(to);
        return packet;
    }
    TSftpPacket packet(sftp_type::Extended, id);
    packet.Str(kPosixRename).Str(from).Str(to);
    return packet;
}

TSftpChannel::TSftpChannel(ssh_session_struct* session, std::function<void()> moved)
    : session_(session), moved_(std::move(moved)) {}

TSftpChannel::~TSftpChannel() {
    if (channel_) ssh_channel_free(channel_);
}

void TSftpChannel::Start() {
    channel_ = ssh_channel_new(session_);
    if (!channel_) Lost(session_, "no SSH channel");
    if (ssh_channel_open_session(channel_) != SSH_OK) Lost(session_, "SSH channel refused");
    moved_();
    if (ssh_channel_request_subsystem(channel_, "sftp") != SSH_OK)
        throw ESftpError(TSftpFailure::Connect,
                         std::string("server offers no SFTP: ") + ssh_get_error(session_));
    moved_();
    auto init = TSftpPacket::Init(3);
    Send(init);
    const TSftpReply version = Receive();
    if (version.type != sftp_type::Version || version.version < 3)
        throw ESftpError(TSftpFailure::Protocol, "server speaks no SFTP version 3");
    bool limits = false;
    for (const auto& [name, data] : version.extensions) {
        if (name == kPosixRename && data == "1") posixRename_ = true;
        if (name == kLimits && data == "1") limits = true;
    }
    if (limits) AskLimits();
}

// Asked without waiting: the answer is taken in by Receive when it comes, together with the
// answer of the first real request, which saves a round trip on every connection.
void TSftpChannel::AskLimits() {
    limitsId_ = NextId();
    TSftpPacket packet(sftp_type::Extended, limitsId_);
    packet.Str(kLimits);
    Send(packet);
}

// A refused or garbled answer keeps what every server takes.
void TSftpChannel::TakeLimits(const TSftpReply& reply) {
    limitsId_ = 0;
    if (reply.type != sftp_type::ExtendedReply) return;
    TSftpLimits limits;
    try {
        limits = TSftpLimits::Parse(reply.data);
    } catch (const ESftpError&) {
        return;
    }
    // A server that takes less than 32 KB is believed too.
    if (limits.maxWrite > 0)
        writeSize_ = size_t(std::clamp<uint64_t>(limits.maxWrite, kSftpSmallestWrite, kSftpLargestWrite));
    maxHandles_ = size_t(std::min<uint64_t>(limits.maxHandles, 1u << 20));
}

void TSftpChannel::Stop() {
    if (!channel_) return;
    ssh_channel_send_eof(channel_);
    ssh_channel_close(channel_);
    ssh_channel_free(channel_);
    channel_ = nullptr;
}

void TSftpChannel::Send(TSftpPacket& packet) {
    const std::string& bytes = packet.Bytes();
    if (ssh_channel_write(channel_, bytes.data(), uint32_t(bytes.size())) != int(bytes.size()))
        Lost(session_, "SFTP request not sent");
    moved_();
}

void TSftpChannel::ReadExact(char* buffer, size_t count) {
    while (count > 0) {
        const int got = ssh_channel_read(channel_, buffer, uint32_t(count), 0);
        if (got == SSH_ERROR) Lost(session_, "SFTP reply not received");
        if (got == 0) throw ESftpError(TSftpFailure::Lost, "the server closed the SFTP channel");
        buffer += got;
        count -= size_t(got);
        moved_();
    }
}

TSftpReply TSftpChannel::Receive() {
    for (;;) {
        TSftpReply reply = ReceiveAny();
        if (limitsId_ == 0 || reply.id != limitsId_ || reply.type == sftp_type::Version) return reply;
        TakeLimits(reply);
    }
}

TSftpReply TSftpChannel::ReceiveAny() {
    char head[4];
    ReadExact(head, 4);
    const uint32_t length = uint32_t(uint8_t(head[0])) << 24 | uint32_t(uint8_t(head[1])) << 16 |
                            uint32_t(uint8_t(head[2])) << 8 | uint32_t(uint8_t(head[3]));
    if (length == 0 || length > kSftpMaxPacket)
        throw ESftpError(TSftpFailure::Protocol, "SFTP reply of " + std::to_string(length) + " bytes");
    std::string body(length, '\0');
    ReadExact(body.data(), length);
    return TSftpReply::Parse(body);
}

TSftpReply TSftpChannel::Call(TSftpPacket& packet, uint32_t id) {
    Send(packet);
    TSftpReply reply = Receive();
    if (reply.id != id) throw ESftpError(TSftpFailure::Protocol, "SFTP reply to a request never made");
    return reply;
}

uint32_t TSftpChannel::StatusOf(const TSftpReply& reply, uint32_t id) const {
    if (reply.id != id || reply.type != sftp_type::Status)
        throw ESftpError(TSftpFailure::Protocol,
                         "SFTP reply of type " + std::to_string(reply.type) + " where a status was due");
    return reply.status;
}

uint32_t TSftpChannel::MakeDir(const std::string& path) {
    const uint32_t id = NextId();
    TSftpPacket packet(sftp_type::Mkdir, id);
    packet.Str(path).Permissions(0755);
    return StatusOf(Call(packet, id), id);
}

TSftpChannel::TMadeFolder TSftpChannel::MakeDirChecked(const std::string& path) {
    return MakeDirsChecked({path}).front();
}

std::vector<TSftpChannel::TMadeFolder> TSftpChannel::MakeDirsChecked(const std::vector<std::string>& paths) {
    struct TAsked {
        uint32_t makeId, statId;
        bool madeAnswered = false, statAnswered = false;
    };
    std::vector<TAsked> asked;
    for (const std::string& path : paths) {
        TAsked ask{NextId(), 0};
        TSftpPacket make(sftp_type::Mkdir, ask.makeId);
        make.Str(path).Permissions(0755);
        ask.statId = NextId();
        TSftpPacket stat(sftp_type::Stat, ask.statId);
        stat.Str(path);
        Send(make);
        Send(stat);
        asked.push_back(ask);
    }
    std::vector<TMadeFolder> made(paths.size());
    for (size_t answers = 0; answers < 2 * paths.size(); ++answers) {
        const TSftpReply reply = Receive();
        auto it = std::find_if(asked.begin(), asked.end(), [&](const TAsked& ask) {
            return (reply.id == ask.makeId && !ask.madeAnswered) ||
                   (reply.id == ask.statId && !ask.statAnswered);
        });
        if (it == asked.end()) throw ESftpError(TSftpFailure::Protocol, "SFTP reply to a request never made");
        TMadeFolder& folder = made[size_t(it - asked.begin())];
        if (reply.id == it->makeId) {
            folder.status = StatusOf(reply, it->makeId);
            it->madeAnswered = true;
        } else {
            folder.isFolder = reply.type == sftp_type::Attrs && reply.attrs.IsFolder();
            it->statAnswered = true;
        }
    }
    return made;
}

TSftpName TSftpChannel::Stat(const std::string& path) {
    const uint32_t id = NextId();
    TSftpPacket packet(sftp_type::Stat, id);
    packet.Str(path);
    TSftpReply reply = Call(packet, id);
    if (reply.type == sftp_type::Status)
        throw ESftpError(TSftpFailure::Status, StatusText(reply.status, reply.message), reply.status);
    if (reply.type != sftp_type::Attrs)
        throw ESftpError(TSftpFailure::Protocol, "SFTP STAT without attributes");
    return reply.attrs;
}

uint32_t TSftpChannel::RemoveFile(const std::string& path) {
    const uint32_t id = NextId();
    TSftpPacket packet(sftp_type::Remove, id);
    packet.Str(path);
    return StatusOf(Call(packet, id), id);
}

uint32_t TSftpChannel::RemoveDir(const std::string& path) {
    const uint32_t id = NextId();
    TSftpPacket packet(sftp_type::Rmdir, id);
    packet.Str(path);
    return StatusOf(Call(packet, id), id);
}

uint32_t TSftpChannel::Rename(const std::string& from, const std::string& to) {
    const uint32_t id = NextId();
    TSftpPacket packet = RenamePacket(id, posixRename_, from, to);
    return StatusOf(Call(packet, id), id);
}

std::string TSftpChannel::RealPath(const std::string& path) {
    const uint32_t id = NextId();
    TSftpPacket packet(sftp_type::Realpath, id);
    packet.Str(path);
    const TSftpReply reply = Call(packet, id);
    if (reply.type == sftp_type::Status)
        throw ESftpError(TSftpFailure::Status, StatusText(reply.status, reply.message), reply.status);
    if (reply.type != sftp_type::Name || reply.names.size() != 1)
        throw ESftpError(TSftpFailure::Protocol, "SFTP REALPATH answered without one name");
    return reply.names[0].name;
}

// READDIRs on their way at once: a server answers each with a part of the folder (OpenSSH: up to
// 100 names), so a folder of 1,000 pictures would otherwise take a round trip per hundred.
constexpr size_t kReaddirsAhead = 8;

std::vector<TSftpName> TSftpChannel::List(const std::string& path) {
    uint32_t id = NextId();
    TSftpPacket open(sftp_type::Opendir, id);
    open.Str(path);
    const TSftpReply opened = Call(open, id);
    if (opened.type == sftp_type::Status)
        throw ESftpError(TSftpFailure::Status, StatusText(opened.status, opened.message), opened.status);
    if (opened.type != sftp_type::Handle)
        throw ESftpError(TSftpFailure::Protocol, "SFTP OPENDIR without handle");
    // The server reads the folder on in the order the requests came; once it said EOF, it says so
    // to every READDIR after.
    std::vector<TSftpName> entries;
    std::set<uint32_t> waiting;
    bool end = false;
    std::optional<ESftpError> refused;
    auto ask = [&] {
        const uint32_t readId = NextId();
        TSftpPacket read(sftp_type::Readdir, readId);
        read.Str(opened.handle);
        Send(read);
        waiting.insert(readId);
    };
    for (size_t i = 0; i < kReaddirsAhead; ++i)
        ask();
    while (!waiting.empty()) {
        TSftpReply batch = Receive();
        if (waiting.erase(batch.id) == 0)
            throw ESftpError(TSftpFailure::Protocol, "SFTP reply to a request never made");
        if (batch.type == sftp_type::Status) {
            end = true;
            if (batch.status != sftp_status::Eof && !refused)
                refused.emplace(TSftpFailure::Status, StatusText(batch.status, batch.message), batch.status);
            continue;
        }
        if (batch.type != sftp_type::Name)
            throw ESftpError(TSftpFailure::Protocol, "SFTP READDIR without names");
        for (auto& entry : batch.names)
            if (entry.name != "." && entry.name != "..") entries.push_back(std::move(entry));
        // A server that never says EOF would fill the memory.
        if (entries.size() > kMaxListing)
            throw ESftpError(TSftpFailure::Protocol, "SFTP listing without end");
        if (!end) ask();
    }
    id = NextId();
    TSftpPacket close(sftp_type::Close, id);
    close.Str(opened.handle);
    StatusOf(Call(close, id), id);
    if (refused) throw *refused;
    return entries;
}

} // namespace vistrel
