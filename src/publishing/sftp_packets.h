#pragma once
// Version 3 of the SFTP protocol, the one OpenSSH and every hosting server speak: packets are a
// 32-bit length, a type byte and big-endian fields. TSftpPacket builds a request; TSftpReply
// reads one answer and checks every length against what arrived, since the bytes come from the
// server.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel {

namespace sftp_type {
constexpr uint8_t Init = 1;
constexpr uint8_t Version = 2;
constexpr uint8_t Open = 3;
constexpr uint8_t Close = 4;
constexpr uint8_t Write = 6;
constexpr uint8_t Lstat = 7;
constexpr uint8_t Opendir = 11;
constexpr uint8_t Readdir = 12;
constexpr uint8_t Remove = 13;
constexpr uint8_t Mkdir = 14;
constexpr uint8_t Rmdir = 15;
constexpr uint8_t Realpath = 16;
constexpr uint8_t Stat = 17;
constexpr uint8_t Rename = 18;
constexpr uint8_t Status = 101;
constexpr uint8_t Handle = 102;
constexpr uint8_t Data = 103;
constexpr uint8_t Name = 104;
constexpr uint8_t Attrs = 105;
constexpr uint8_t Extended = 200;
constexpr uint8_t ExtendedReply = 201;
} // namespace sftp_type

namespace sftp_open {
constexpr uint32_t Read = 0x01;
constexpr uint32_t Write = 0x02;
constexpr uint32_t Create = 0x08;
constexpr uint32_t Truncate = 0x10;
} // namespace sftp_open

// The largest packet we accept from a server: OpenSSH's own limit.
constexpr uint32_t kSftpMaxPacket = 256 * 1024;
// The WRITE every server takes, and the largest we send whatever a server says: its packet stays
// within kSftpMaxPacket.
constexpr size_t kSftpSafeWrite = 32 * 1024;
constexpr size_t kSftpLargestWrite = 255 * 1024;
constexpr size_t kSftpSmallestWrite = 4 * 1024;

class TSftpPacket {
public:
    // A request of `type`; every request but INIT carries an id.
    TSftpPacket(uint8_t type, uint32_t id);
    static TSftpPacket Init(uint32_t version);

    TSftpPacket& U32(uint32_t value);
    TSftpPacket& U64(uint64_t value);
    TSftpPacket& Str(std::string_view text);
    // Empty attributes, or only the permission bits.
    TSftpPacket& NoAttrs() { return U32(0); }
    TSftpPacket& Permissions(uint32_t mode);

    // The whole packet, its length field filled in.
    const std::string& Bytes();

private:
    TSftpPacket() = default;
    std::string bytes_;
};

// One entry of a folder listing.
struct TSftpName {
    std::string name;
    uint32_t permissions = 0; // st_mode bits; 0 when the server sent none
    uint64_t size = 0;
    bool hasPermissions = false;
    bool IsFolder() const { return (permissions & 0170000) == 0040000; }
    bool IsLink() const { return (permissions & 0170000) == 0120000; }
};

// What a server takes, as OpenSSH's limits@openssh.com extension tells it; 0 is "no limit said".
struct TSftpLimits {
    uint64_t maxPacket = 0;
    uint64_t maxRead = 0;
    uint64_t maxWrite = 0;
    uint64_t maxHandles = 0;
    // The extended reply's data. Throws ESftpError (Protocol) when it is cut short.
    static TSftpLimits Parse(std::string_view data);
};

// One answer of the server, parsed. Throws ESftpError (Protocol) when it is cut short or malformed.
struct TSftpReply {
    uint8_t type = 0;
    uint32_t id = 0;
    uint32_t status = 0;                                         // STATUS
    std::string message;                                         // STATUS
    std::string handle;                                          // HANDLE
    std::vector<TSftpName> names;                                // NAME
    TSftpName attrs;                                             // ATTRS (its name stays empty)
    uint32_t version = 0;                                        // VERSION
    std::vector<std::pair<std::string, std::string>> extensions; // VERSION
    std::string data;                                            // EXTENDED_REPLY, unparsed

    // `body` is the packet without its length field.
    static TSftpReply Parse(std::string_view body);
};

} // namespace vistrel
