#pragma once
#include "publishing/remote_site.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vistrel {

// How many files a session takes at once: one where the site sends one after the other, else
// twice what it keeps on their way, since each batch ends with a few round trips in which the
// pipeline drains, and a longer one would leave nothing for the other sessions.
size_t UploadBatchSize(const TRemoteSite& site);

// What an extra upload session asks of the publish job.
struct TUploadSessionHost {
    std::function<std::optional<std::string>()> takeFile;  // the next name to send; none when done
    std::function<void(const std::string& name)> sent;     // the server confirmed the file
    std::function<void(const std::string& name)> giveBack; // the file was not sent
    std::function<void(const std::string& name)> upload;   // a file's upload begins
    std::function<void(const std::string& line)> log;      // a line for the protocol
};

// One more session that sends files of the folder the main session stands in, beside it: on a
// link with a long round trip every file costs several waits for a reply, and sessions side by
// side wait together. It logs in, enters the folder, then takes one file after the other until
// none is left and quits (a site that keeps several files on their way takes them in batches). Any
// failure or stall retires it and gives its files back, so refusals, a full disk and every other
// error meet the main session and its rules. Runs on the event loop through the site's completions.
class TUploadSession : public QObject {
public:
    // `site` is a sibling of the main session; `folder` the path parts to enter from the login
    // folder; `localDir` ends with "/".
    TUploadSession(std::unique_ptr<TRemoteSite> site, std::vector<std::string> folder, std::string localDir,
                   TUploadSessionHost host, int stallMs);
    ~TUploadSession() override;

    void Start();
    // Ends at once; the files on their way are given back.
    void Stop();
    bool Finished() const { return phase_ == TPhase::Done; }

private:
    enum class TPhase { Login, Type, Enter, Send, Quit, Done };

    void Done(const TRemoteResult& result);
    TRemoteDone Next();
    void EnterNext();
    void SendNext();
    bool FileEnded(size_t index, const TRemoteResult& result);
    void GiveBackUnsent();
    void Retire(const std::string& why);

    std::unique_ptr<TRemoteSite> site_;
    std::vector<std::string> folder_;
    std::string localDir_;
    TUploadSessionHost host_;
    QTimer stall_;
    TPhase phase_ = TPhase::Login;
    size_t entered_ = 0;
    std::vector<std::string> files_; // the batch on its way; a file that ended leaves an empty name
    bool refused_ = false;           // a file of the batch was refused: the session retires
};

} // namespace vistrel
