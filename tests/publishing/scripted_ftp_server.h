#pragma once
// An FTP server inside the test process, on 127.0.0.1, that answers from a script, records the
// exact command transcript and has switches for the faults a real server cannot be made to show.
#include "net/async_socket.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vistrel::testing {

class ScriptedFtpServer {
public:
    ScriptedFtpServer();
    ~ScriptedFtpServer();

    std::string Port() const { return listener_.LocalPort(); }

    // Raw text sent on connect, line ends included.
    std::string welcome = "220 Scripted server ready\r\n";
    // Raw replies by command verb ("USER", "PASS", "CWD", ...); a verb without one gets "500 ?".
    std::map<std::string, std::string> replies = {
        {"USER", "331 Password required\r\n"}, {"PASS", "230 Logged in\r\n"}, {"TYPE", "200 Type set\r\n"},
        {"CWD", "250 \"/x\" is current\r\n"},  {"QUIT", "221 Bye\r\n"},       {"PORT", "200 PORT ok\r\n"},
    };
    // Sends every byte of every reply in its own event-loop turn.
    bool oneBytePerWrite = false;
    // Active mode: connect to the PORT address only after the 150 reply to STOR (else before 200).
    bool connectAfterReply = false;
    // Uploads: send 226 as soon as this many bytes arrived, before the client closes (-1: after).
    long long confirmAfterBytes = -1;
    // Listings: the data; 226 goes before the data connection closes when confirmBeforeClose.
    std::string listing;
    bool confirmBeforeClose = false;
    // Listings: the data is sent in pieces of this size, one every dripMs milliseconds.
    int dripBytes = 0;
    int dripMs = 0;
    // Replaces the 227 reply to PASV when not empty.
    std::string pasvReply;
    // The host the 227 reply names, and whether its numbers stand without parentheses.
    std::string pasvHost = "127,0,0,1";
    bool pasvBare = false;
    // Uploads: close the data connection after this many bytes, and confirm that with 226 (-1: no).
    long long closeAfterBytes = -1;
    // Uploads: never confirm them (no 226, the data connection is left as it is).
    bool neverConfirm = false;
    // After the welcome: another "220-" line every this many milliseconds, without end (0: none).
    int endlessWelcomeMs = 0;

    std::vector<std::string> transcript; // every command line received
    std::string stored;                  // the bytes of the last upload
    bool storedComplete = false;

private:
    void Accept();
    void OnControlData();
    void HandleCommand(const std::string& line);
    void Reply(const std::string& text);
    void WriteSlowly(std::shared_ptr<std::string> rest);
    void StartDataConnection(std::function<void()> connected);
    void StartStor();
    void StartNlst();
    void SendListing();
    void DripListing(std::shared_ptr<size_t> offset);
    void FinishData();
    void WelcomeForEver();

    TAsyncSocket listener_;
    TAsyncSocket control_;
    TAsyncSocket dataListener_;
    TAsyncSocket data_;
    std::string buffer_;
    std::string portHost_;
    int portNumber_ = 0;
    bool passive_ = false;
    bool dataReady_ = false;
    std::function<void()> onDataReady_;
    bool confirmed_ = false;
    int dataGeneration_ = 0;
};

} // namespace vistrel::testing
