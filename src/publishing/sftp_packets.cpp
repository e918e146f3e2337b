#include "publishing/sftp_packets.h"

#include "publishing/sftp_error.h"

namespace vistrel {

namespace {

constexpr uint32_t kAttrSize = 0x00000001;
constexpr uint32_t kAttrUidGid = 0x00000002;
constexpr uint32_t kAttrPermissions = 0x00000004;
constexpr uint32_t kAttrTimes = 0x00000008;
constexpr uint32_t kAttrExtended = 0x80000000;

// Reads fields from a reply; running past its end is the server's fault, never a crash.
class TFieldReader {
public:
    explicit TFieldReader(std::string_view bytes) : bytes_(bytes) {}

    uint8_t U8() { return uint8_t(Take(1)[0]); }
    uint32_t U32() {
        auto b = Take(4);
        return uint32_t(uint8_t(b[0])) << 24 | uint32_t(uint8_t(b[1])) << 16 | uint32_t(uint8_t(b[2])) << 8 |
               uint32_t(uint8_t(b[3]));
    }
    uint64_t U64() {
        const uint64_t high = U32();
        return high << 32 | U32();
    }
    std::string Str() {
        const uint32_t length = U32();
        return std::string(Take(length));
    }
    bool AtEnd() const { return bytes_.empty(); }
    std::string Rest() { return std::string(Take(bytes_.size())); }

    // ATTRS: what we use is the size and the mode; the rest is skipped field by field.
    void Attrs(TSftpName& name) {
        const uint32_t flags = U32();
        if (flags & kAttrSize) name.size = U64();
        if (flags & kAttrUidGid) Take(8);
        if (flags & kAttrPermissions) {
            name.permissions = U32();
            name.hasPermissions = true;
        }
        if (flags & kAttrTimes) Take(8);
        if (flags & kAttrExtended) {
            const uint32_t count = U32();
            for (uint32_t i = 0; i < count; ++i) {
                Str();
                Str();
            }
        }
    }

private:
    std::string_view Take(size_t count) {
        if (count > bytes_.size()) throw ESftpError(TSftpFailure::Protocol, "SFTP reply cut short");
        auto part = bytes_.substr(0, count);
        bytes_.remove_prefix(count);
        return part;
    }

    std::string_view bytes_;
};

void AppendU32(std::string& bytes, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.push_back(char((value >> shift) & 0xFF));
}

} // namespace

TSftpPacket::TSftpPacket(uint8_t type, uint32_t id) {
    bytes_.assign(4, '\0');
    bytes_.push_back(char(type));
    AppendU32(bytes_, id);
}

TSftpPacket TSftpPacket::Init(uint32_t version) {
    TSftpPacket packet;
    packet.bytes_.assign(4, '\0');
    packet.bytes_.push_back(char(sftp_type::Init));
    AppendU32(packet.bytes_, version);
    return packet;
}

TSftpPacket& TSftpPacket::U32(uint32_t value) {
    AppendU32(bytes_, value);
    return *this;
}

TSftpPacket& TSftpPacket::U64(uint64_t value) {
    AppendU32(bytes_, uint32_t(value >> 32));
    AppendU32(bytes_, uint32_t(value));
    return *this;
}

TSftpPacket& TSftpPacket::Str(std::string_view text) {
    AppendU32(bytes_, uint32_t(text.size()));
    bytes_.append(text);
    return *this;
}

TSftpPacket& TSftpPacket::Permissions(uint32_t mode) {
    return U32(kAttrPermissions).U32(mode);
}

const std::string& TSftpPacket::Bytes() {
    const uint32_t length = uint32_t(bytes_.size() - 4);
    for (int i = 0; i < 4; ++i)
        bytes_[size_t(i)] = char((length >> (24 - 8 * i)) & 0xFF);
    return bytes_;
}

TSftpLimits TSftpLimits::Parse(std::string_view data) {
    TFieldReader in(data);
    TSftpLimits limits;
    limits.maxPacket = in.U64();
    limits.maxRead = in.U64();
    limits.maxWrite = in.U64();
    limits.maxHandles = in.U64();
    return limits;
}

TSftpReply TSftpReply::Parse(std::string_view body) {
    TFieldReader in(body);
    TSftpReply reply;
    reply.type = in.U8();
    if (reply.type == sftp_type::Version) {
        reply.version = in.U32();
        while (!in.AtEnd()) {
            std::string name = in.Str();
            reply.extensions.emplace_back(std::move(name), in.Str());
        }
        return reply;
    }
    reply.id = in.U32();
    switch (reply.type) {
    case sftp_type::Status:
        reply.status = in.U32();
        // Servers of the first drafts end the packet after the code.
        if (!in.AtEnd()) reply.message = in.Str();
        break;
    case sftp_type::Handle:
        reply.handle = in.Str();
        if (reply.handle.size() > 256) throw ESftpError(TSftpFailure::Protocol, "SFTP handle too long");
        break;
    case sftp_type::Name: {
        const uint32_t count = in.U32();
        for (uint32_t i = 0; i < count; ++i) {
            TSftpName name;
            name.name = in.Str();
            in.Str(); // the long name, an ls -l line meant for people
            in.Attrs(name);
            reply.names.push_back(std::move(name));
        }
        break;
    }
    case sftp_type::Attrs:
        in.Attrs(reply.attrs);
        break;
    case sftp_type::ExtendedReply:
        reply.data = in.Rest();
        break;
    case sftp_type::Data:
        break; // not asked for by us; the id is enough to match it
    default:
        throw ESftpError(TSftpFailure::Protocol, "unknown SFTP reply type " + std::to_string(reply.type));
    }
    return reply;
}

} // namespace vistrel
