#include "publishing/ftp_reply_reader.h"
#include "publishing/ftp_types.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vistrel;

namespace {

std::vector<std::string> Lines(const std::string& input, bool acceptLF) {
    TFtpReplyReader reader(acceptLF);
    reader.Append(input.data(), static_cast<int>(input.size()));
    std::vector<std::string> lines;
    for (std::string line; reader.NextLine(line);) lines.push_back(line);
    return lines;
}

} // namespace

TEST(FtpReplyReader, CutsLines) {
    struct Row {
        const char* name;
        std::string input;
        bool acceptLF;
        std::vector<std::string> lines;
    };
    const Row rows[] = {
        {"crlf", "220 Ready\r\n", true, {"220 Ready"}},
        {"lone lf accepted", "220 Ready\n", true, {"220 Ready"}},
        {"lone lf waits for crlf", "220 Ready\n", false, {}},
        {"lone lf inside a crlf line", "220 a\nb\r\n", false, {"220 a\nb"}},
        {"several in one read", "331 Pw\r\n230 Ok\r\n", true, {"331 Pw", "230 Ok"}},
        {"partial line stays", "220 Rea", true, {}},
        {"trailing crs removed", "220 x\r\r\n", true, {"220 x"}},
        {"empty line", "\r\n", true, {""}},
    };
    for (const auto& row : rows) EXPECT_EQ(Lines(row.input, row.acceptLF), row.lines) << row.name;
}

TEST(FtpReplyReader, PartialLineCompletesLaterAndBufferIsBounded) {
    TFtpReplyReader reader;
    reader.Append("220 He", 6);
    std::string line;
    EXPECT_FALSE(reader.NextLine(line));
    reader.Append("llo\r\n", 5);
    ASSERT_TRUE(reader.NextLine(line));
    EXPECT_EQ(line, "220 Hello");

    std::string huge(5000, 'x');
    EXPECT_EQ(reader.Append(huge.data(), static_cast<int>(huge.size())), 4095);
    EXPECT_EQ(reader.FreeSpace(), 0);
    EXPECT_EQ(reader.Append("y", 1), 0);
}

TEST(FtpReplyCode, Parses) {
    struct Row {
        const char* name;
        const char* line;
        int code;
        bool continuation;
    };
    const Row rows[] = {
        {"final", "220 Ready", 220, false},
        {"continuation", "220-Welcome", 220, true},
        {"no digit first", " Text of a multi-line reply", 0, true},
        {"code only", "226", 226, false},
        {"empty", "", 0, true},
        {"huge number saturates", "99999999999999999999 x", 999999, false},
    };
    for (const auto& row : rows) {
        TFtpReplyCode code = ParseReplyCode(row.line);
        EXPECT_EQ(code.code, row.code) << row.name;
        EXPECT_EQ(code.continuation, row.continuation) << row.name;
    }
}

TEST(FtpReplyCode, QuotedFolderName) {
    EXPECT_EQ(QuotedFolderName("257 \"/album\" created"), "/album");
    EXPECT_EQ(QuotedFolderName("257 \"/a\"\"b\" created"), "/a\"b");
    EXPECT_EQ(QuotedFolderName("250 Okay"), "");
}

TEST(PasvReply, Parses) {
    TPasvAddress example = ParsePasvReply("227 Entering Passive Mode (192,168,1,20,195,80)");
    EXPECT_EQ(example.host, "192.168.1.20");
    EXPECT_EQ(example.port, 50000);
    TPasvAddress spaced = ParsePasvReply("227 =( 10, 0, 0, 1, 0, 21 ).");
    EXPECT_EQ(spaced.host, "10.0.0.1");
    EXPECT_EQ(spaced.port, 21);
}

TEST(PasvReply, WithoutUsableNumbersThrows) {
    const char* rows[] = {
        "227 Entering Passive Mode",
        "227 Entering Passive Mode (192,168,1,20,195)",
        "227 (192,168,1,20,195,80",
        "227 (192,168,1,256,195,80)",
        "227 (a,b,c,d,e,f)",
        "227 (1,2,3,4,5,6,7)",
    };
    for (const char* row : rows) EXPECT_THROW(ParsePasvReply(row), FtpException) << row;
}

TEST(PasvReply, PrivateAddressBehindNatUsesTheControlAddress) {
    struct Row {
        const char* name;
        const char* pasv;
        const char* control;
        const char* expected;
    };
    const Row rows[] = {
        {"nat", "192.168.1.20", "203.0.113.7", "203.0.113.7"},
        {"nat 10/8", "10.1.2.3", "198.51.100.1", "198.51.100.1"},
        {"nat 172.16/12", "172.20.0.5", "198.51.100.1", "198.51.100.1"},
        {"unspecified", "0.0.0.0", "198.51.100.1", "198.51.100.1"},
        {"both private", "192.168.1.20", "192.168.1.1", "192.168.1.20"},
        {"loopback server", "127.0.0.1", "127.0.0.1", "127.0.0.1"},
        {"public pasv", "198.51.100.9", "203.0.113.7", "198.51.100.9"},
        {"172.32 is public", "172.32.0.1", "203.0.113.7", "172.32.0.1"},
    };
    for (const auto& row : rows) EXPECT_EQ(PassiveDataHost(row.pasv, row.control), row.expected) << row.name;
}
