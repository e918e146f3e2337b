// THttpClient and the invitation job against a real HTTP server on 127.0.0.1.
#include "invitations/http_client.h"
#include "invitations/invitation_job.h"
#include "python_server.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <sstream>

using namespace vistrel;
using vistrel::testing::PythonHttpServer;
using vistrel::testing::RunUntil;

namespace {

class HttpClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Started()) << "python3 http.server did not start";
        client_.OnRequestDone = [this](THttpRequest, int error) { done_.push_back(error); };
        client_.OnDocEnd = [this] { ++docEnds_; };
        client_.RcvdStream = &document_;
    }

    // Get() and the EHttpException it raised, if any.
    std::optional<EHttpException> Get(const std::string& path) {
        client_.URL = server_.Url(path);
        try {
            client_.Get();
        } catch (const EHttpException& error) {
            return error;
        }
        return std::nullopt;
    }

    PythonHttpServer server_;
    THttpClient client_;
    std::ostringstream document_;
    std::vector<int> done_;
    int docEnds_ = 0;
};

TEST_F(HttpClientTest, SendsExactlyTheRequestLinesAndReadsTheDocument) {
    EXPECT_FALSE(Get("/ok"));
    EXPECT_EQ(client_.StatusCode(), 200);
    EXPECT_EQ(client_.ReasonPhrase(), "OK");
    EXPECT_EQ(document_.str(), "<html>ok</html>");
    EXPECT_EQ(server_.NextRequest().raw,
              "GET /ok HTTP/1.0\r\n"
              "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"
              "User-Agent: Mozilla/3.0 (compatible)\r\n"
              "Host: 127.0.0.1\r\n"
              "\r\n");
    // OnRequestDone is posted: it follows Get(), from the event loop.
    EXPECT_TRUE(done_.empty());
    ASSERT_TRUE(RunUntil([&] { return !done_.empty(); }));
    EXPECT_EQ(done_, std::vector<int>{0});
    EXPECT_EQ(docEnds_, 1);
    EXPECT_EQ(client_.State(), httpReady);
}

TEST_F(HttpClientTest, FollowsRelocationsOfEveryKind) {
    EXPECT_FALSE(Get("/redirect/1"));
    EXPECT_EQ(client_.StatusCode(), 200);
    EXPECT_EQ(document_.str(), "angekommen");
    EXPECT_EQ(server_.NextRequest().path, "/redirect/1");
    EXPECT_EQ(server_.NextRequest().path, "/redirect/0");

    document_.str("");
    EXPECT_FALSE(Get("/absolute"));
    EXPECT_EQ(server_.NextRequest().path, "/absolute");
    EXPECT_EQ(server_.NextRequest().path, "/ok");
    EXPECT_EQ(document_.str(), "<html>ok</html>") << "only the final answer's document is kept";

    EXPECT_FALSE(Get("/folder/relative"));
    EXPECT_EQ(server_.NextRequest().path, "/folder/relative");
    EXPECT_EQ(server_.NextRequest().path, "/folder/ok-here");
}

TEST_F(HttpClientTest, FiveRelocationsAreFollowedTheSixthStops) {
    EXPECT_FALSE(Get("/redirect/5"));
    EXPECT_EQ(client_.Relocations(), 5);
    for (int i = 5; i >= 0; --i)
        EXPECT_EQ(server_.NextRequest().path, "/redirect/" + std::to_string(i));

    auto error = Get("/redirect/6");
    ASSERT_TRUE(error);
    EXPECT_STREQ(error->what(), "too many relocations");
    EXPECT_EQ(error->ErrorCode, 404);
    for (int i = 6; i >= 1; --i)
        EXPECT_EQ(server_.NextRequest().path, "/redirect/" + std::to_string(i));
    EXPECT_TRUE(server_.NoMoreRequests()) << "the sixth relocation was not asked for";
}

TEST_F(HttpClientTest, ServerErrorRaisesWithReasonAndCode) {
    auto error = Get("/fail500");
    ASSERT_TRUE(error);
    EXPECT_STREQ(error->what(), "Internal Server Error");
    EXPECT_EQ(error->ErrorCode, 500);
    EXPECT_EQ(client_.State(), httpReady);
    EXPECT_FALSE(Get("/ok")) << "the client is usable again";
}

TEST_F(HttpClientTest, SilentServerEndsWithinTheTimeOut) {
    client_.TimeoutMs = 700;
    QElapsedTimer timer;
    timer.start();
    auto error = Get("/stall");
    ASSERT_TRUE(error);
    EXPECT_STREQ(error->what(), "Connection timed out (Error #10060)");
    EXPECT_EQ(error->ErrorCode, 404);
    EXPECT_GE(timer.elapsed(), 650);
    EXPECT_LT(timer.elapsed(), 5000);
}

TEST_F(HttpClientTest, NetworkFailuresBecomeStatus404) {
    client_.URL = "http://no-such-host.invalid/cgi-bin/sendpostcard.pl";
    try {
        client_.Get();
        FAIL() << "no exception";
    } catch (const EHttpException& error) {
        EXPECT_STREQ(error.what(), "can't resolve hostname to IP address");
        EXPECT_EQ(error.ErrorCode, 404);
    }
    // A port nobody listens on: the server's own port after it is gone would race, so take port 1.
    client_.URL = "http://127.0.0.1:1/";
    try {
        client_.Get();
        FAIL() << "no exception";
    } catch (const EHttpException& error) {
        EXPECT_STREQ(error.what(), "Connection refused (Error #10061)");
    }
}

// The invitation job over the same server: three recipients, the second fails.
class RecordingProgress : public InviteProgress {
public:
    void ShowRecipient(int index, const std::string& address) override {
        shown.push_back(std::to_string(index) + " " + address);
    }
    std::vector<std::string> shown;
};

TEST_F(HttpClientTest, FailureAtTheSecondRecipientStopsTheRun) {
    TInvitationJob job(client_);
    TInvitationParams params;
    params.serviceHost = server_.Host();
    params.sender = "Anna";
    params.albumUrl = "http://www.example.org/alben";
    params.albumPath = "Urlaub_2003";
    params.pictureName = "strand.jpg";
    params.galleryEmail = "anna@example.org";
    params.recipients = {"eins@example.org", "fail@example.org", "drei@example.org"};
    RecordingProgress progress;
    TInviteResult result = job.Run(params, progress);
    EXPECT_EQ(result.code, TInviteCode::SendFailed);
    EXPECT_EQ(result.detail, "Internal Server Error (500)");
    EXPECT_EQ(InviteMessage(result, params).rfind("Die Einladung(en) konnte(n) nicht verschickt werden.", 0),
              0u);
    EXPECT_EQ(progress.shown, (std::vector<std::string>{"0 eins@example.org", "1 fail@example.org"}));
    EXPECT_NE(server_.NextRequest().path.find("recipient=eins@example.org&"), std::string::npos);
    std::string second = server_.NextRequest().path;
    EXPECT_NE(second.find("recipient=fail@example.org&"), std::string::npos);
    EXPECT_NE(second.find("&postcardurl=http%3a%2f%2fwww.example.org%2falben%2fUrlaub_2003%2fpostcard.htm&"),
              std::string::npos)
        << "the missing / after the album address was added";
    EXPECT_TRUE(server_.NoMoreRequests()) << "the third recipient was called";

    // A failed run followed by a test invitation that works.
    params.testInvitation = true;
    result = job.Run(params, progress);
    EXPECT_TRUE(result.Ok()) << result.detail;
    EXPECT_NE(server_.NextRequest().path.find("recipient=anna@example.org&"), std::string::npos);
    EXPECT_EQ(
        InviteMessage(result, params).rfind("Die Testeinladung wurde an anna@example.org verschickt.", 0),
        0u);
}

} // namespace
