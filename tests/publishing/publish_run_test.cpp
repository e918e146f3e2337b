// The publish job through the fake remote site: what a run sends, what the transfer list records
// and how a run ends, for first, unchanged and changed runs, the server check, deleting
// everything, a stop, a lost server and a full disk, without a socket.
#include "common/cp1252.h"
#include "common/line_file.h"
#include "publishing/publish_job.h"
#include "publishing/publish_texts.h"
#include "support/fake_remote_site.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace vistrel;
using vistrel::testing::ReadBytes;
using vistrel::testing::ScriptedPrompts;
using vistrel::testing::TempDir;
using vistrel::testing::TFakeRemoteSite;
using vistrel::testing::TFakeServer;
using vistrel::testing::WriteBytes;

namespace {

class RecordingView : public PublishView {
public:
    void Log(const std::string& line) override { lines.push_back(line); }
    void ShowTotals(int filesDone, int, int64_t, int64_t, bool) override { shownDone = filesDone; }
    bool Logged(const std::string& line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    std::vector<std::string> lines;
    int shownDone = 0;
};

// A site of eight files in three folders, published to "web" on the fake server.
class FakeRun : public ::testing::TestWithParam<bool> {
protected:
    FakeRun() {
        root = (temp / "galleries").string() + "/";
        WriteBytes(root + "index.html", "<html>");
        WriteBytes(root + "style.css", "body {}");
        WriteBytes(root + "Urlaub/index.html", "<html>Urlaub");
        for (int i = 0; i < 5; ++i)
            WriteBytes(root + "Urlaub/images/p" + std::to_string(i) + ".jpg", std::string(100 + i, 'a' + i));
        params.connection.host = "example.org";
        params.connection.user = "alice";
        params.connection.password = "secret";
        params.connection.remoteRoot = "web";
        params.plan = {root, {root, root + "Urlaub/", root + "Urlaub/images/"}};
        params.transferListFile = temp / "transfer.lst";
        params.timings.startDelayMs = 0;
        params.timings.connectFailedDelayMs = 0;
        // Sessions that keep several files on their way get them in batches.
        server->filesAtOnce = GetParam() ? 4 : 1;
    }

    TPublishResult Run(const std::function<void(TPublishJob&)>& during = {}) {
        server->transcript.clear();
        TPublishJob job(prompts, view, [this](const TConnectionSettings& connection) {
            return std::make_unique<TFakeRemoteSite>(server, connection);
        });
        if (during) server->onConfirmed = [&job, &during](int) { during(job); };
        job.Prepare(params);
        TPublishResult result = job.Run(params);
        server->onConfirmed = nullptr;
        return result;
    }

    // The file lines of transfer.lst as stored now.
    std::vector<std::string> StoredLines() const {
        std::vector<std::string> lines;
        ReadLineFile(temp / "transfer.lst", lines);
        return lines.size() > 2 ? std::vector<std::string>(lines.begin() + 2, lines.end())
                                : std::vector<std::string>{};
    }

    // Every line of the stored list names a file the server holds with those very bytes.
    void ExpectListClaimsOnlyWhatTheServerHolds() const {
        for (const std::string& line : StoredLines()) {
            const std::string path = line.substr(0, line.find('\t'));
            const std::string remote = "web/" + path.substr(root.size());
            ASSERT_TRUE(server->files.count(remote)) << remote;
            EXPECT_EQ(server->files.at(remote), ReadBytes(path)) << remote;
        }
    }

    TempDir temp;
    std::string root;
    std::shared_ptr<TFakeServer> server = std::make_shared<TFakeServer>();
    ScriptedPrompts prompts;
    RecordingView view;
    TPublishParams params;
    static constexpr size_t kFiles = 8;
};

TEST_P(FakeRun, FirstRunSendsEverythingThenOnlyWhatChanged) {
    ASSERT_EQ(Run().code, TPublishCode::Completed);
    EXPECT_EQ(server->files.size(), kFiles);
    EXPECT_EQ(server->files.at("web/Urlaub/images/p3.jpg"), std::string(103, 'd'));
    EXPECT_EQ(StoredLines().size(), kFiles);
    EXPECT_EQ(server->Requests("quit").size(), 1u);

    ASSERT_EQ(Run().code, TPublishCode::Completed);
    EXPECT_TRUE(server->Requests("put").empty()) << "nothing changed";
    EXPECT_TRUE(view.Logged(Text(publish_texts::kSkip) + root + "Urlaub/images/p0.jpg"));

    WriteBytes(root + "Urlaub/images/p1.jpg", "new bytes");
    ASSERT_EQ(Run().code, TPublishCode::Completed);
    EXPECT_EQ(server->Requests("put"), (std::vector<std::string>{"put p1.jpg"}));
    EXPECT_EQ(server->files.at("web/Urlaub/images/p1.jpg"), "new bytes");
    EXPECT_EQ(StoredLines().size(), kFiles);
}

TEST_P(FakeRun, EntersEachFolderFromTheLoginFolderAndClimbsBack) {
    ASSERT_EQ(Run().code, TPublishCode::Completed);
    std::vector<std::string> moves;
    for (const std::string& line : server->transcript)
        if (line.rfind("cwd", 0) == 0 || line == "cdup") moves.push_back(line);
    EXPECT_EQ(moves,
              (std::vector<std::string>{"cwd web", "cdup", "cwd web", "cwd Urlaub", "cdup", "cdup", "cwd web",
                                        "cwd Urlaub", "cwd images", "cdup", "cdup", "cdup"}));
}

TEST_P(FakeRun, ServerCheckSendsAgainWhatTheServerLacks) {
    ASSERT_EQ(Run().code, TPublishCode::Completed);
    server->files.erase("web/Urlaub/images/p2.jpg");
    params.connection.checkServer = true;
    ASSERT_EQ(Run().code, TPublishCode::Completed);
    EXPECT_EQ(server->Requests("put"), (std::vector<std::string>{"put p2.jpg"}));
    EXPECT_TRUE(server->files.count("web/Urlaub/images/p2.jpg"));
    EXPECT_EQ(server->Requests("list").size(), 3u) << "one listing per folder";
}

TEST_P(FakeRun, AFailedCheckListingSendsTheFolderAgain) {
    params.connection.checkServer = true;
    server->listError = true;
    ASSERT_EQ(Run().code, TPublishCode::Completed);
    EXPECT_EQ(server->Requests("put").size(), 2 * kFiles);
    EXPECT_TRUE(view.Logged(Text(publish_texts::kCheckImpossible)));
}

TEST_P(FakeRun, DeleteAllEmptiesTheRemoteRootButNothingBesideIt) {
    server->folders = {"web", "web/Alt", "web/Alt/images"};
    server->files = {{"web/stale.html", "old"},
                     {"web/.htaccess", "deny"},
                     {"web/Alt/images/x.jpg", "old"},
                     {"outside.txt", "keep"}};
    params.deleteAll = true;
    ASSERT_EQ(Run().code, TPublishCode::Completed);
    EXPECT_FALSE(server->files.count("web/stale.html"));
    EXPECT_FALSE(server->files.count("web/.htaccess"));
    EXPECT_FALSE(server->folders.count("web/Alt"));
    EXPECT_EQ(server->files.at("outside.txt"), "keep");
    EXPECT_EQ(server->Requests("put").size(), kFiles);
}

TEST_P(FakeRun, AStopKeepsTheConfirmedFilesAndTheNextRunSendsOnlyTheRest) {
    TPublishResult result = Run([](TPublishJob& job) { job.Cancel(); });
    EXPECT_EQ(result.code, TPublishCode::Cancelled);
    EXPECT_EQ(server->confirmed, 1);
    ExpectListClaimsOnlyWhatTheServerHolds();
    EXPECT_EQ(StoredLines().size(), 1u);

    ASSERT_EQ(Run().code, TPublishCode::Completed);
    EXPECT_EQ(server->Requests("put").size(), kFiles - 1);
    EXPECT_EQ(server->files.size(), kFiles);
}

TEST_P(FakeRun, TheStoredListNeverClaimsMoreThanTheServerHolds) {
    // Read at every confirmation, as a kill at that moment would leave it.
    bool checked = false;
    Run([&](TPublishJob&) {
        ExpectListClaimsOnlyWhatTheServerHolds();
        checked = true;
    });
    EXPECT_TRUE(checked);
    ExpectListClaimsOnlyWhatTheServerHolds();
}

TEST_P(FakeRun, ALostServerIsReportedAsLostAndTheNextRunSendsOnlyWhatIsMissing) {
    server->loseConnectionAfterPuts = 3;
    server->goneAfterLoss = true;
    TPublishResult result = Run();
    EXPECT_EQ(result.code, TPublishCode::ConnectionLost);
    EXPECT_EQ(view.lines.back(), PublishMessage(result, "example.org", "web/"));
    EXPECT_TRUE(view.Logged(Text(publish_texts::kTooManyErrors)));
    EXPECT_EQ(StoredLines().size(), 3u);
    ExpectListClaimsOnlyWhatTheServerHolds();

    server->loseConnectionAfterPuts = -1;
    server->gone = false;
    ASSERT_EQ(Run().code, TPublishCode::Completed);
    EXPECT_EQ(server->Requests("put").size(), kFiles - 3);
    EXPECT_EQ(StoredLines().size(), kFiles);
}

TEST_P(FakeRun, AFullServerEndsTheRunWithItsMessage) {
    server->noSpace = true;
    TPublishResult result = Run();
    EXPECT_EQ(result.code, TPublishCode::DiskFull);
    EXPECT_EQ(server->Requests("put").size(), 1u) << "the run stops at the first refusal for space";
    EXPECT_EQ(prompts.messages.back(), Text(publish_texts::kDiskFullStatus));
    EXPECT_TRUE(StoredLines().empty());
}

TEST_P(FakeRun, AFileRefusedAgainAndAgainIsGivenUpAndTheRunSaysSo) {
    server->refuse = {"put"};
    params.plan.folders = {root};
    TPublishResult result = Run();
    EXPECT_EQ(result.code, TPublishCode::Refused);
    EXPECT_EQ(server->Requests("put index.html").size(), 4u) << "sent, then queued again three times";
    EXPECT_TRUE(view.Logged(Text(publish_texts::kGivenUp) + "index.html"));
}

TEST_P(FakeRun, ARefusedLoginEndsBeforeAnythingIsSent) {
    server->refuseLogin = true;
    TPublishResult result = Run();
    EXPECT_EQ(result.code, TPublishCode::BadPassword);
    EXPECT_TRUE(server->Requests("put").empty());
    EXPECT_EQ(prompts.messages.front(), Text(publish_texts::kBadPassword));
}

TEST_P(FakeRun, ParallelSessionsShareAFolderAndEveryFileIsRecorded) {
    for (int i = 5; i < 25; ++i)
        WriteBytes(root + "Urlaub/images/p" + std::to_string(i) + ".jpg",
                   std::string(50, 'x') + std::to_string(i));
    params.connection.parallelUploads = true;
    ASSERT_EQ(Run().code, TPublishCode::Completed);
    EXPECT_EQ(server->files.size(), kFiles + 20);
    EXPECT_EQ(server->Requests("put").size(), kFiles + 20) << "every file once";
    EXPECT_GT(server->logins, 1);
    EXPECT_EQ(StoredLines().size(), kFiles + 20);
    EXPECT_EQ(view.shownDone, static_cast<int>(kFiles + 20));
}

INSTANTIATE_TEST_SUITE_P(OneOrSeveralAtOnce, FakeRun, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Batches" : "OneByOne";
                         });

} // namespace
