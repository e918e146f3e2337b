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
// none is left and quits. Any failure or stall retires it and gives its file back, so refusals, a
// full disk and every other error meet the main session and its rules. Runs on the event loop
// through the site's completions.
class TUploadSession : public QObject {
public:
    // `site` is a sibling of the main session; `folder` the path parts to enter from the login
    // folder; `localDir` ends with "/".
    TUploadSession(std::unique_ptr<TRemoteSite> site, std::vector<std::string> folder, std::string localDir,
                   TUploadSessionHost host, int stallMs);
    ~TUploadSession() override;

    void Start();
    // Ends at once; a file on its way is given back.
    void Stop();
    bool Finished() const { return phase_ == TPhase::Done; }

private:
    enum class TPhase { Login, Type, Enter, Send, Quit, Done };

    void Done(const TRemoteResult& result);
    TRemoteDone Next();
    void EnterNext();
    void SendNext();
    void Retire(const std::string& why);

    std::unique_ptr<TRemoteSite> site_;
    std::vector<std::string> folder_;
    std::string localDir_;
    TUploadSessionHost host_;
    QTimer stall_;
    TPhase phase_ = TPhase::Login;
    size_t entered_ = 0;
    std::optional<std::string> file_; // the file on its way
};

} // namespace vistrel
