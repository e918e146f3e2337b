// The HTTP answer reader, table-driven: each row is an answer as a server sends it, fed once whole
// and once byte by byte, since the socket may cut it anywhere.
#include "invitations/http_answer_reader.h"

#include <gtest/gtest.h>

#include <string>

using namespace vistrel;
using namespace std::string_literals;

namespace {

struct AnswerCase {
    const char* name;
    std::string answer;
    bool headerComplete;
    int status;
    std::string reason;
    std::string document;
    std::string location = {};
    long long contentLength = -1;
    std::string contentType = {};
    bool statusLine = true;
    std::string error = {};
};

struct Outcome {
    THttpAnswerReader reader;
    std::string document;
    int headerCompleteEvents = 0;
};

Outcome FeedInPieces(const std::string& answer, size_t piece) {
    Outcome outcome;
    for (size_t pos = 0; pos < answer.size(); pos += piece) {
        auto result = outcome.reader.Feed(std::string_view(answer).substr(pos, piece));
        outcome.document += result.document;
        if (result.headerComplete) ++outcome.headerCompleteEvents;
    }
    return outcome;
}

class AnswerTable : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(AnswerTable, WholeAndByteByByte) {
    const AnswerCase& c = GetParam();
    for (size_t piece : {c.answer.size() + 1, size_t{1}, size_t{7}}) {
        SCOPED_TRACE("piece size " + std::to_string(piece));
        Outcome outcome = FeedInPieces(c.answer, piece);
        const THttpAnswerReader& reader = outcome.reader;
        EXPECT_EQ(reader.HeaderComplete(), c.headerComplete);
        EXPECT_EQ(outcome.headerCompleteEvents, c.headerComplete ? 1 : 0);
        EXPECT_EQ(reader.StatusCode(), c.status);
        EXPECT_EQ(reader.ReasonPhrase(), c.reason);
        EXPECT_EQ(outcome.document, c.document);
        EXPECT_EQ(reader.Location(), c.location);
        EXPECT_EQ(reader.ContentLength(), c.contentLength);
        EXPECT_EQ(reader.ContentType(), c.contentType);
        EXPECT_EQ(reader.HasStatusLine(), c.statusLine);
        EXPECT_EQ(reader.Error(), c.error);
    }
}

const std::string kLongValue(8192 - std::string("X-Long: ").size() - 1, 'a'); // line of 8191 bytes + LF

INSTANTIATE_TEST_SUITE_P(
    Answers, AnswerTable,
    ::testing::Values(
        AnswerCase{"Ok_WithDocument",
                   "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 5\r\n\r\nHallo", true, 200,
                   "OK", "Hallo", "", 5, "text/html"},
        AnswerCase{"Found_LocationAnyCase", "HTTP/1.1 302 Found\r\nLOCATION:   /neu.htm\r\n\r\n", true, 302,
                   "Found", "", "/neu.htm"},
        AnswerCase{"ServerError", "HTTP/1.0 500 Internal Server Error\r\n\r\nkaputt", true, 500,
                   "Internal Server Error", "kaputt"},
        AnswerCase{"LfOnlyLines", "HTTP/1.1 404 Not Found\nContent-Type: text/plain\n\nweg\r\n", true, 404,
                   "Not Found", "weg\r\n", "", -1, "text/plain"},
        AnswerCase{"DocumentKeepsItsBytes", "HTTP/1.0 200 OK\r\n\r\n\r\n\n\0x"s, true, 200, "OK",
                   "\r\n\n\0x"s},
        AnswerCase{"HeaderlessHtml", "<HtMl><body>Danke</body></html>\r\nmehr", true, 0, "",
                   "<HtMl><body>Danke</body></html>\r\nmehr", "", -1, "", false},
        AnswerCase{"NoReasonPhrase", "HTTP/1.0 204\r\n\r\n", true, 204, "", ""},
        AnswerCase{"StatusNotDigits", "HTTP/1.0 2x0 OK\r\n\r\n", true, 0, "", "", "", -1, "", false},
        AnswerCase{"NotHttp", "SSH-2.0-OpenSSH\r\n\r\n", true, 0, "", "", "", -1, "", false},
        AnswerCase{"Http09Version", "HTTP/0.9 200 OK\r\n\r\n", true, 0, "", "", "", -1, "", false},
        AnswerCase{"BadContentLength", "HTTP/1.0 200 OK\r\nContent-Length: 12abc\r\n\r\n", true, 200, "OK",
                   ""},
        AnswerCase{"HeaderNotEnded", "HTTP/1.0 200 OK\r\nServer: x\r\n", false, 200, "OK", ""},
        AnswerCase{"LineAtLimitMinusOne", "HTTP/1.0 200 OK\r\nX-Long: " + kLongValue + "\n\n", true, 200,
                   "OK", ""},
        AnswerCase{"LineAtLimit", "HTTP/1.0 200 OK\r\nX-Long: " + kLongValue + "a\n\nnie", false, 200, "OK",
                   "", "", -1, "", true, "HTTP line too long"},
        AnswerCase{"FirstLineTooLong", std::string(9000, 'H') + "\r\n\r\n", false, 0, "", "", "", -1, "",
                   false, "HTTP line too long"}),
    [](const ::testing::TestParamInfo<AnswerCase>& info) { return std::string(info.param.name); });

} // namespace
