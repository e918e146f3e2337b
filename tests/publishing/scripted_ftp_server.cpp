#include "scripted_ftp_server.h"

#include <QTimer>

#include <cstdio>
#include <utility>

namespace vistrel::testing {

ScriptedFtpServer::ScriptedFtpServer() {
    listener_.SetAddr("127.0.0.1");
    listener_.SetPort("0");
    listener_.OnSessionAvailable = [this](int) { Accept(); };
    listener_.Listen();
    control_.OnDataAvailable = [this](int) { OnControlData(); };
    control_.OnBackgroundException = [](const std::exception& e, bool&) {
        std::fprintf(stderr, "scripted server: %s\n", e.what());
    };
}

ScriptedFtpServer::~ScriptedFtpServer() = default;

void ScriptedFtpServer::Accept() {
    int handle = listener_.Accept();
    if (handle < 0) return;
    control_.Dup(handle);
    Reply(welcome);
    if (endlessWelcomeMs > 0) WelcomeForEver();
}

void ScriptedFtpServer::WelcomeForEver() {
    if (control_.State() != wsConnected) return;
    control_.SendStr("220-still welcoming you\r\n");
    QTimer::singleShot(endlessWelcomeMs, &control_, [this] { WelcomeForEver(); });
}

void ScriptedFtpServer::Reply(const std::string& text) {
    if (text.empty() || control_.State() != wsConnected) return;
    if (oneBytePerWrite) return WriteSlowly(std::make_shared<std::string>(text));
    control_.SendStr(text);
}

void ScriptedFtpServer::WriteSlowly(std::shared_ptr<std::string> rest) {
    if (rest->empty() || control_.State() != wsConnected) return;
    control_.SendStr(rest->substr(0, 1));
    rest->erase(0, 1);
    QTimer::singleShot(1, [this, rest] { WriteSlowly(rest); });
}

void ScriptedFtpServer::OnControlData() {
    char chunk[1024];
    int count = control_.Receive(chunk, sizeof chunk);
    if (count <= 0) return;
    buffer_.append(chunk, static_cast<size_t>(count));
    for (size_t end; (end = buffer_.find("\r\n")) != std::string::npos;) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 2);
        transcript.push_back(line);
        HandleCommand(line);
    }
}

void ScriptedFtpServer::HandleCommand(const std::string& line) {
    std::string verb = line.substr(0, line.find(' '));
    if (verb == "PASV") {
        passive_ = true;
        dataReady_ = false;
        ++dataGeneration_;
        dataListener_.SetAddr("127.0.0.1");
        dataListener_.SetPort("0");
        dataListener_.OnSessionAvailable = [this](int) {
            data_.Dup(dataListener_.Accept());
            dataListener_.Close();
            dataReady_ = true;
            if (onDataReady_) std::exchange(onDataReady_, nullptr)();
        };
        dataListener_.Listen();
        int port = std::stoi(dataListener_.LocalPort());
        std::string numbers = pasvHost + "," + std::to_string(port / 256) + "," + std::to_string(port % 256);
        std::string reply = pasvBare ? "227 Entering Passive Mode " + numbers + "\r\n"
                                     : "227 Entering Passive Mode (" + numbers + ")\r\n";
        if (!pasvReply.empty()) reply = pasvReply;
        return Reply(reply);
    }
    if (verb == "PORT") {
        passive_ = false;
        int h1, h2, h3, h4, p1, p2;
        std::sscanf(line.c_str() + 5, "%d,%d,%d,%d,%d,%d", &h1, &h2, &h3, &h4, &p1, &p2);
        portHost_ = std::to_string(h1) + "." + std::to_string(h2) + "." + std::to_string(h3) + "." +
                    std::to_string(h4);
        portNumber_ = p1 * 256 + p2;
        if (!connectAfterReply) StartDataConnection(nullptr);
        return Reply(replies["PORT"]);
    }
    if (verb == "STOR") return StartStor();
    if (verb == "NLST" || verb == "LIST" || verb == "MLSD") {
        // A scripted reply for a listing verb refuses the listing.
        if (replies.count(verb)) return Reply(replies[verb]);
        return StartNlst();
    }
    auto reply = replies.find(verb);
    Reply(reply != replies.end() ? reply->second : "500 ?\r\n");
    if (verb == "QUIT") control_.CloseDelayed();
}

// Active mode: the server connects to the address PORT named.
void ScriptedFtpServer::StartDataConnection(std::function<void()> connected) {
    // The previous listing's connection may still be open when 226 went out before its close.
    ++dataGeneration_;
    data_.OnSessionClosed = nullptr;
    if (data_.State() != wsClosed) data_.Close();
    dataReady_ = false;
    onDataReady_ = std::move(connected);
    data_.SetAddr(portHost_);
    data_.SetPort(std::to_string(portNumber_));
    data_.OnSessionConnected = [this](int error) {
        if (error != 0) return;
        dataReady_ = true;
        if (onDataReady_) std::exchange(onDataReady_, nullptr)();
    };
    data_.Connect();
}

void ScriptedFtpServer::StartStor() {
    stored.clear();
    storedComplete = false;
    confirmed_ = false;
    Reply(replies.count("STOR") ? replies["STOR"] : "150 Opening data connection\r\n");
    if (!passive_ && connectAfterReply) StartDataConnection(nullptr);
    data_.OnDataAvailable = [this](int) {
        char chunk[8192];
        int count = data_.Receive(chunk, sizeof chunk);
        if (count > 0) stored.append(chunk, static_cast<size_t>(count));
        if (closeAfterBytes >= 0 && static_cast<long long>(stored.size()) >= closeAfterBytes)
            return data_.Close();
        if (confirmAfterBytes >= 0 && !confirmed_ &&
            static_cast<long long>(stored.size()) >= confirmAfterBytes) {
            confirmed_ = true;
            Reply("226 Transfer complete\r\n");
        }
    };
    data_.OnSessionClosed = [this](int) {
        storedComplete = true;
        if (neverConfirm) return;
        if (!confirmed_) Reply("226 Transfer complete\r\n");
        confirmed_ = true;
    };
}

void ScriptedFtpServer::StartNlst() {
    Reply("150 Here comes the listing\r\n");
    auto send = [this] { SendListing(); };

    if (!passive_ && connectAfterReply) return StartDataConnection(send);
    if (dataReady_) return send();
    onDataReady_ = send;
}

void ScriptedFtpServer::SendListing() {

    data_.OnSessionClosed = nullptr;
    if (dripBytes > 0) return DripListing(std::make_shared<size_t>(0));
    data_.SendStr(listing);
    FinishData();
}

void ScriptedFtpServer::DripListing(std::shared_ptr<size_t> offset) {
    if (*offset >= listing.size()) return FinishData();
    data_.SendStr(listing.substr(*offset, static_cast<size_t>(dripBytes)));
    *offset += static_cast<size_t>(dripBytes);
    QTimer::singleShot(dripMs, &control_, [this, offset] { DripListing(offset); });
}

// The data goes out before the close (the socket sends its buffer first); the 226 is sent just
// before or a little after the close, as the test chose.
void ScriptedFtpServer::FinishData() {
    int generation = dataGeneration_;
    auto close = [this, generation] {
        if (generation == dataGeneration_) data_.CloseDelayed();
    };
    if (confirmBeforeClose) {
        Reply("226 Transfer complete\r\n");
        QTimer::singleShot(50, close);
        return;
    }
    QTimer::singleShot(10, [this, close] {
        close();
        QTimer::singleShot(50, [this] { Reply("226 Transfer complete\r\n"); });
    });
}

} // namespace vistrel::testing
