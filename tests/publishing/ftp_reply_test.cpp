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
    for (std::string line; reader.NextLine(line);)
        lines.push_back(line);
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
    for (const auto& row : rows)
        EXPECT_EQ(Lines(row.input, row.acceptLF), row.lines) << row.name;
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
    // RFC 1123 asks clients to find the numbers wherever they stand.
    EXPECT_EQ(ParsePasvReply("227 Entering Passive Mode 192,168,1,20,195,80").port, 50000);
    EXPECT_EQ(ParsePasvReply("227 (192,168,1,20,195,80").host, "192.168.1.20");
    EXPECT_EQ(ParsePasvReply("227 Modus 3: 1,2,3,4,0,99 ok").host, "1.2.3.4");
}

TEST(PasvReply, WithoutUsableNumbersThrows) {
    const char* rows[] = {
        "227 Entering Passive Mode",  "227 Entering Passive Mode (192,168,1,20,195)",
        "227 (192,168,1,256,195,80)", "227 (a,b,c,d,e,f)",
        "227 (1,2,3,4,5,6,7)",
    };
    for (const char* row : rows)
        EXPECT_THROW(ParsePasvReply(row), FtpException) << row;
}

TEST(ReplyJoiner, JoinsMultiLineRepliesAsRfc959Says) {
    TFtpReplyJoiner joiner;
    TFtpReply reply;
    const std::vector<std::string> lines = {"211-Features:",   " MLST type*;size*;", "211-still inside",
                                            "211still inside", "230 other code",     "211 End"};
    for (size_t i = 0; i + 1 < lines.size(); ++i)
        EXPECT_FALSE(joiner.Add(lines[i], reply)) << lines[i];
    ASSERT_TRUE(joiner.Add(lines.back(), reply));
    EXPECT_EQ(reply.code, 211);
    EXPECT_EQ(reply.lines, lines);
    EXPECT_FALSE(joiner.Pending());

    ASSERT_TRUE(joiner.Add("250 single", reply));
    EXPECT_EQ(reply.lines, (std::vector<std::string>{"250 single"}));
    ASSERT_TRUE(joiner.Add("226", reply)) << "a bare code is a complete reply";
    ASSERT_FALSE(joiner.Add("220-a", reply));
    ASSERT_TRUE(joiner.Add("220", reply)) << "and closes a multi-line one";
    ASSERT_TRUE(joiner.Add("text without code", reply));
    EXPECT_EQ(reply.code, 0);
}

TEST(ReplyJoiner, BoundsTheWholeReply) {
    TFtpReplyJoiner joiner;
    TFtpReply reply;
    EXPECT_FALSE(joiner.Add("220-Welcome", reply));
    const std::string line = "220-" + std::string(1000, 'x');
    for (int i = 0; i < 100 && !joiner.Overflowed(); ++i)
        EXPECT_FALSE(joiner.Add(line, reply));
    EXPECT_TRUE(joiner.Overflowed());
    EXPECT_FALSE(joiner.Add("220 End", reply)) << "nothing more is joined";
}
