#pragma once
#include "publishing/ftp_client.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vistrel {

// What an extra upload session asks of the publish job.
struct TUploadSessionHost {
    std::function<std::optional<std::string>()> takeFile;  // the next name to send; none when done
    std::function<void(const std::string& name)> sent;     // the server confirmed the file
    std::function<void(const std::string& name)> giveBack; // the file was not sent
    std::function<void(std::string& command)> command;     // every command before it goes out
    std::function<void(const std::string& line)> log;      // a line for the protocol
};

// One more FTP session that sends files of the folder the main session stands in, beside it: on
// a link with a long round trip every file costs several waits for a reply, and sessions side by
// side wait together. It logs in, enters the folder, then takes one file after the other until
// none is left and quits. Any failure or stall retires it and gives its file back, so refusals, a
// full disk and every other error meet the main session and its rules. Runs on the event loop
// through the client's non-blocking requests.
class TUploadSession : public QObject {
public:
    // `model` gives the server, login and encryption settings; `folder` the path parts to enter
    // from the login folder; `localDir` ends with "/".
    TUploadSession(const TCustomFtpClient& model, std::vector<std::string> folder, std::string localDir,
                   TUploadSessionHost host, int stallMs);
    ~TUploadSession() override;

    void Start();
    // Ends at once; a file on its way is given back.
    void Stop();
    bool Finished() const { return phase_ == TPhase::Done; }

private:
    enum class TPhase { Login, Type, Enter, Send, Quit, Done };

    void RequestDone(TFtpRequest request, int error);
    void Go(void (TCustomFtpClient::*request)());
    void EnterNext();
    void SendNext();
    void Retire(const std::string& why);

    TFtpClient client_;
    std::vector<std::string> folder_;
    std::string localDir_;
    TUploadSessionHost host_;
    QTimer stall_;
    TPhase phase_ = TPhase::Login;
    size_t entered_ = 0;
    std::optional<std::string> file_; // the file on its way
};

} // namespace vistrel
