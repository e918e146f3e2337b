// Publishes a folder tree to an FTP server with the publish job, the way F10 does, and prints the
// time of each thousand confirmed files, so that the per-file cost can be seen from the first to
// the last thousand. Used by bench/publish_scale_vs_lftp.sh.
//
// bench_publish_scale LOCAL_ROOT HOST PORT REMOTE_ROOT LIST_FILE [--sessions] [--stop-after N]
// LOCAL_ROOT holds the folders to publish (every folder below it, the root first).
#include "common/user_prompts.h"
#include "publishing/publish_job.h"
#include "publishing/publish_texts.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using namespace vistrel;

namespace {

class QuietPrompts : public UserPrompts {
public:
    void ShowMessage(const std::string&, MessageKind) override {}
    bool AskYesNo(const std::string&) override { return true; }
    Answer AskYesNoCancel(const std::string&) override { return Answer::Yes; }
};

// Prints the seconds each thousand confirmed files took; stops the run after `stopAfter` files.
class RateView : public PublishView {
public:
    explicit RateView(int stopAfter) : stopAfter_(stopAfter) {}
    TPublishJob* job = nullptr;
    void Log(const std::string& line) override {
        if (line.rfind(sending_, 0) == 0) ++sent;
        if (line.rfind("Fehler", 0) == 0 || line.find("Verbindung zum Server") != std::string::npos)
            std::fprintf(stderr, "%s\n", line.c_str());
    }
    void ShowTotals(int filesDone, int, int64_t, int64_t, bool started) override {
        if (!started) return;
        done = filesDone;
        if (filesDone >= nextMark_) {
            const auto now = std::chrono::steady_clock::now();
            std::printf("thousand %d %.3f s\n", nextMark_ / 1000,
                        std::chrono::duration<double>(now - markTime_).count());
            markTime_ = now;
            nextMark_ += 1000;
        }
        if (stopAfter_ > 0 && filesDone >= stopAfter_ && job) {
            stopAfter_ = 0;
            job->Cancel();
        }
    }
    int done = 0;
    int sent = 0;

private:
    const std::string sending_ = Text(publish_texts::kSending);
    int stopAfter_;
    int nextMark_ = 1000;
    std::chrono::steady_clock::time_point markTime_ = std::chrono::steady_clock::now();
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // the script watches the thousands as they come
    if (argc < 6) {
        std::fprintf(stderr,
                     "usage: %s LOCAL_ROOT HOST PORT REMOTE_ROOT LIST_FILE [--sessions] [--stop-after N]\n",
                     argv[0]);
        return 2;
    }
    const std::string root = std::filesystem::path(argv[1]).string() + "/";
    bool sessions = false;
    int stopAfter = 0;
    for (int i = 6; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--sessions") sessions = true;
        if (arg == "--stop-after" && i + 1 < argc) stopAfter = std::stoi(argv[++i]);
    }
    TPublishParams params;
    params.connection.host = argv[2];
    params.connection.port = argv[3];
    params.connection.user = "alice";
    params.connection.password = "secret";
    params.connection.remoteRoot = argv[4];
    params.connection.passive = true;
    params.connection.parallelUploads = sessions;
    params.transferListFile = argv[5];
    params.timings.startDelayMs = 0;
    params.plan.localRoot = root;
    params.plan.folders.push_back(root);
    std::vector<std::string> folders;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        if (entry.is_directory()) folders.push_back(entry.path().string() + "/");
    std::sort(folders.begin(), folders.end());
    params.plan.folders.insert(params.plan.folders.end(), folders.begin(), folders.end());

    QuietPrompts prompts;
    RateView view(stopAfter);
    TPublishJob job(prompts, view);
    view.job = &job;
    job.Prepare(params);
    const auto start = std::chrono::steady_clock::now();
    TPublishResult result = job.Run(params);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("files %d of %d in %.3f s, sent %d, result %d\n", view.done, job.TotalFiles(), seconds,
                view.sent, static_cast<int>(result.code));
    return result.Ok() || result.code == TPublishCode::Cancelled ? 0 : 1;
}
