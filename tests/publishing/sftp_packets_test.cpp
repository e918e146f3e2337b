// SFTP packets: what we send is byte-exact; what a server sends is read with every length checked.
#include "publishing/sftp_error.h"
#include "publishing/sftp_packets.h"
#include "publishing/sftp_transfer.h"

#include <gtest/gtest.h>

using namespace vistrel;

namespace {

std::string U32(uint32_t value) {
    return {char(value >> 24), char(value >> 16 & 0xFF), char(value >> 8 & 0xFF), char(value & 0xFF)};
}
std::string Str(const std::string& text) {
    return U32(uint32_t(text.size())) + text;
}

TEST(SftpPackets, RequestsAreLaidOutByteForByte) {
    TSftpPacket open(sftp_type::Open, 7);
    open.Str("a.jpg").U32(sftp_open::Write | sftp_open::Create | sftp_open::Truncate).Permissions(0644);
    const std::string body =
        std::string(1, char(sftp_type::Open)) + U32(7) + Str("a.jpg") + U32(0x1A) + U32(4) + U32(0644);
    EXPECT_EQ(open.Bytes(), U32(uint32_t(body.size())) + body);
    EXPECT_EQ(TSftpPacket::Init(3).Bytes(), U32(5) + "\x01" + U32(3));
    TSftpPacket write(sftp_type::Write, 1);
    write.U64(0x0102030405060708ULL);
    EXPECT_EQ(write.Bytes().substr(9), U32(0x01020304) + U32(0x05060708));
}

TEST(SftpPackets, RepliesAreParsed) {
    const auto version = TSftpReply::Parse("\x02" + U32(3) + Str("posix-rename@openssh.com") + Str("1"));
    EXPECT_EQ(version.version, 3u);
    ASSERT_EQ(version.extensions.size(), 1u);
    EXPECT_EQ(version.extensions[0].first, "posix-rename@openssh.com");

    const auto status = TSftpReply::Parse("\x65" + U32(9) + U32(2) + Str("No such file") + Str("en"));
    EXPECT_EQ(status.id, 9u);
    EXPECT_EQ(status.status, sftp_status::NoSuchFile);
    EXPECT_EQ(status.message, "No such file");
    EXPECT_EQ(TSftpReply::Parse("\x65" + U32(9) + U32(4)).status, 4u) << "servers of old drafts send no text";

    const std::string attrs = U32(0x5) + U32(0) + U32(42) + U32(0040755);
    const auto names = TSftpReply::Parse("\x68" + U32(3) + U32(2) + Str("dir") + Str("drwx") + attrs +
                                         Str("plain") + Str("-rw") + U32(0));
    ASSERT_EQ(names.names.size(), 2u);
    EXPECT_TRUE(names.names[0].IsFolder());
    EXPECT_EQ(names.names[0].size, 42u);
    EXPECT_FALSE(names.names[1].hasPermissions);
}

TEST(SftpPackets, AttributesAndLimitsAreRead) {
    const auto stat = TSftpReply::Parse("\x69" + U32(5) + U32(0x4) + U32(0040700));
    EXPECT_EQ(stat.id, 5u);
    EXPECT_TRUE(stat.attrs.IsFolder());
    EXPECT_FALSE(TSftpReply::Parse("\x69" + U32(5) + U32(0x4) + U32(0100644)).attrs.IsFolder());

    auto U64 = [](uint64_t value) { return U32(uint32_t(value >> 32)) + U32(uint32_t(value)); };
    const auto reply =
        TSftpReply::Parse("\xC9" + U32(2) + U64(262144) + U64(261120) + U64(261120) + U64(1019));
    EXPECT_EQ(reply.id, 2u);
    const TSftpLimits limits = TSftpLimits::Parse(reply.data);
    EXPECT_EQ(limits.maxPacket, 262144u);
    EXPECT_EQ(limits.maxWrite, 261120u);
    EXPECT_EQ(limits.maxHandles, 1019u);
    EXPECT_THROW(TSftpLimits::Parse(U64(262144) + U64(261120) + U32(1)), ESftpError) << "cut short";
}

TEST(SftpPackets, MalformedRepliesAreErrorsNotCrashes) {
    const std::string cases[] = {
        "",                                   // nothing at all
        "\x65" + U32(1),                      // status without its code
        "\x66" + U32(1) + U32(100) + "short", // a handle longer than the packet
        "\x68" + U32(1) + U32(0xFFFFFFFF),    // four billion names announced, none sent
        "\x68" + U32(1) + U32(1) + Str("n") + Str("l") + U32(0x80000000) + U32(5), // extensions cut short
        "\x66" + U32(1) + Str(std::string(300, 'h')), // a handle longer than the protocol allows
        "\x07" + U32(1),                              // a request type where a reply is due
    };
    for (const auto& body : cases)
        EXPECT_THROW(TSftpReply::Parse(body), ESftpError) << body.size();
}

TEST(SftpPackets, TemporaryNamesAreHiddenAndRecognised) {
    EXPECT_EQ(SftpTemporaryName("index.htm"), ".index.htm.vistrel-part");
    EXPECT_TRUE(IsSftpTemporaryName(SftpTemporaryName("a")));
    EXPECT_FALSE(IsSftpTemporaryName("index.htm"));
    EXPECT_FALSE(IsSftpTemporaryName(".vistrel-part"));
    EXPECT_FALSE(IsSftpTemporaryName("x.vistrel-part"));
}

} // namespace
