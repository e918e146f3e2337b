#include "publishing/ftp_reply_reader.h"
#include "publishing/ftp_types.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vistrel;

namespace {

using Lines = std::vector<std::string>;

// The closing lines of every reply the reader hands out for `input`, fed in one piece.
Lines Replies(const std::string& input, bool acceptLF) {
    TFtpReplyReader reader(acceptLF);
    reader.Feed(input.data(), input.size());
    Lines lines;
    for (TFtpReply reply; reader.NextReply(reply);)
        lines.push_back(reply.Last());
    return lines;
}

} // namespace

TEST(FtpReplyReader, CutsLines) {
    struct Row {
        const char* name;
        std::string input;
        bool acceptLF;
        Lines lines;
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
        EXPECT_EQ(Replies(row.input, row.acceptLF), row.lines) << row.name;
}

TEST(FtpReplyReader, PartialLineCompletesLaterAndLinesAreBounded) {
    TFtpReplyReader reader;
    TFtpReply reply;
    reader.Feed("220 He", 6);
    EXPECT_FALSE(reader.NextReply(reply));
    EXPECT_TRUE(reader.InReply());
    reader.Feed("llo\r\n", 5);
    ASSERT_TRUE(reader.NextReply(reply));
    EXPECT_EQ(reply.Last(), "220 Hello");
    EXPECT_FALSE(reader.InReply());

    // A line of exactly the bound is taken; a part of a line beyond the bound and a line end is
    // a fault.
    std::string longest = "250 " + std::string(TFtpReplyReader::kMaxLineBytes - 4, 'x');
    std::string input = longest + "\r\n";
    reader.Feed(input.data(), input.size());
    ASSERT_TRUE(reader.NextReply(reply));
    EXPECT_EQ(reply.Last(), longest);
    std::string huge(TFtpReplyReader::kMaxLineBytes + 3, 'x');
    reader.Feed(huge.data(), huge.size());
    EXPECT_FALSE(reader.NextReply(reply));
    EXPECT_EQ(reader.Fault(), TFtpReplyReader::TFault::LineTooLong);
    EXPECT_EQ(reader.FaultText(), "Reply line longer than 4095 bytes");
    reader.Feed("\r\n", 2);
    EXPECT_FALSE(reader.NextReply(reply)) << "a fault stays until Clear";
    reader.Clear();
    reader.Feed("200 Ok\r\n", 8);
    EXPECT_TRUE(reader.NextReply(reply));
}

TEST(FtpReplyReader, ClockRunsFromAReplysFirstByte) {
    using namespace std::chrono_literals;
    TFtpReplyReader reader;
    reader.SetTimeLimit(1000ms);
    const auto t0 = TFtpReplyReader::Clock::time_point{} + 1h;
    TFtpReply reply;
    reader.Feed("220-a\r\n", 7, t0);
    reader.Feed("220-b\r\n", 7, t0 + 900ms);
    EXPECT_FALSE(reader.NextReply(reply));
    EXPECT_EQ(reader.Deadline(), t0 + 1000ms) << "continuation lines do not push the deadline";
    // The next reply's bytes that came with the end of this one start its own clock.
    reader.Feed("220 c\r\n331 d", 13, t0 + 950ms);
    ASSERT_TRUE(reader.NextReply(reply));
    EXPECT_EQ(reply.lines.size(), 3u);
    EXPECT_TRUE(reader.InReply());
    EXPECT_EQ(reader.Deadline(), t0 + 1950ms);
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

TEST(FtpReplyReader, JoinsMultiLineRepliesAsRfc959Says) {
    TFtpReplyReader reader;
    TFtpReply reply;
    const Lines lines = {"211-Features:",   " MLST type*;size*;", "211-still inside",
                         "211still inside", "230 other code",     "211 End"};
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        std::string text = lines[i] + "\r\n";
        reader.Feed(text.data(), text.size());
        EXPECT_FALSE(reader.NextReply(reply)) << lines[i];
    }
    reader.Feed("211 End\r\n", 9);
    ASSERT_TRUE(reader.NextReply(reply));
    EXPECT_EQ(reply.code, 211);
    EXPECT_EQ(reply.lines, lines);
    EXPECT_FALSE(reader.InReply());

    const std::string rest = "250 single\r\n226\r\n220-a\r\n220\r\ntext without code\r\n";
    reader.Feed(rest.data(), rest.size());
    ASSERT_TRUE(reader.NextReply(reply));
    EXPECT_EQ(reply.lines, Lines{"250 single"});
    ASSERT_TRUE(reader.NextReply(reply)) << "a bare code is a complete reply";
    EXPECT_EQ(reply.code, 226);
    ASSERT_TRUE(reader.NextReply(reply)) << "and closes a multi-line one";
    EXPECT_EQ(reply.lines, (Lines{"220-a", "220"}));
    ASSERT_TRUE(reader.NextReply(reply));
    EXPECT_EQ(reply.code, 0);
}

TEST(FtpReplyReader, BoundsTheWholeReply) {
    TFtpReplyReader reader;
    TFtpReply reply;
    std::string welcome = "220-Welcome\r\n";
    const std::string line = "220-" + std::string(1000, 'x') + "\r\n";
    while (welcome.size() <= TFtpReplyReader::kMaxReplyBytes)
        welcome += line;
    welcome += "220 End\r\n";
    reader.Feed(welcome.data(), welcome.size());
    EXPECT_FALSE(reader.NextReply(reply)) << "nothing more is joined";
    EXPECT_EQ(reader.Fault(), TFtpReplyReader::TFault::ReplyTooLong);
    EXPECT_EQ(reader.FaultText(), "Reply longer than 65536 bytes");
}
