#pragma once
// An HTTP/1.0 client on TAsyncSocket, just as much as the invitation sender needs: GET of a URL
// with relocations, the answer's status and header fields, the document into a stream, and a
// blocking Get() that keeps the event loop running while it waits.
#include "invitations/http_answer_reader.h"
#include "net/async_socket.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>

namespace vistrel {

// Raised by Get() for an answer of status 400 or above, for the network failures the client turns
// into status 404 (see THttpClient), and for a request started while one runs.
class EHttpException : public std::runtime_error {
public:
    EHttpException(const std::string& reason, int code) : std::runtime_error(reason), ErrorCode(code) {}
    int ErrorCode;
};

enum THttpRequest { httpAbort, httpGET };

enum THttpState {
    httpReady,         // no request; the only state in which a request may start
    httpDnsLookup,     // the host name is being looked up
    httpConnecting,    // the TCP connection is being opened
    httpConnected,     // connected, the request lines are going out
    httpWaitingHeader, // request sent; reading the status line and the header
    httpWaitingBody,   // header read; the document streams in until the server closes
    httpAborting,      // the connection is being torn down after a failure or Abort()
};

// The parts of a URL the client uses. The path runs from the first "/" or "?" after the host to the
// end, query included; "/" when there is none.
struct THttpUrl {
    std::string scheme = "http";
    std::string user;
    std::string password;
    std::string host;
    std::string port = "80";
    std::string path = "/";
};
THttpUrl ParseHttpUrl(const std::string& url);
// Where a Location header leads from the current request: an absolute "http://" address replaces
// everything, "/..." replaces the path, anything else is relative to the folder of the current path.
THttpUrl Relocate(const THttpUrl& current, const std::string& location);

// The request lines exactly as sent, each with CR LF, ending with the empty line.
std::string BuildGetRequest(const THttpUrl& url, const std::string& accept, const std::string& agent,
                            bool noCache);

// Network failures become status 404 with these reason phrases, so that Get() raises for them:
//   host not found          "can't resolve hostname to IP address"
//   connect cannot start    "can't connect: <socket error text> (Error #<n>)"
//   connect fails or breaks "<socket error text> (Error #<n>)"
//   no answer in time       "Connection timed out (Error #10060)"
//   more than MaxRelocations relocations "too many relocations"
//   no status line at all   "no HTTP answer"
class THttpClient : public QObject {
public:
    explicit THttpClient(QObject* parent = nullptr);
    ~THttpClient() override;
    THttpClient(const THttpClient&) = delete;
    THttpClient& operator=(const THttpClient&) = delete;

    std::string URL;
    std::string LocalAddr = "0.0.0.0";
    std::string Agent = "Mozilla/3.0 (compatible)";
    std::string Accept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
    bool NoCache = false;
    // Receives the document of the last request; set by the caller before each request. May be null.
    std::ostream* RcvdStream = nullptr;
    // A request that gets no byte from the server for this long ends with a time-out. The design has
    // no limit at all; a server that accepts and then stays silent would hang the dialog for good.
    int TimeoutMs = 30000;
    // Relocations followed for one request; one more ends it. The design follows them endlessly,
    // so two addresses pointing at each other would loop forever.
    int MaxRelocations = 5;

    int StatusCode() const { return statusCode_; }
    const std::string& ReasonPhrase() const { return reasonPhrase_; }
    long long ContentLength() const { return reader_.ContentLength(); }
    const std::string& ContentType() const { return reader_.ContentType(); }
    const std::string& Location() const { return location_; }
    THttpState State() const { return state_; }
    int Relocations() const { return relocations_; }

    // Error: 0 for a completed request (whatever its status), else the socket error number or
    // the status code of the failure.
    std::function<void(THttpRequest request, int error)> OnRequestDone;
    std::function<void()> OnDocEnd;
    std::function<void()> OnSocketError;

    // Starts a GET of URL and returns at once; OnRequestDone tells the end. Throws EHttpException
    // "HTTP component is busy" when a request runs.
    void GetASync();
    // GET of URL; returns when the client is ready again. Throws EHttpException for a status of 400
    // or above (the reason phrase and the code) and whatever GetASync throws.
    void Get();
    // Ends a running request at once; OnRequestDone follows with httpAbort.
    void Abort();

private:
    void SetState(THttpState state);
    void StartRequest();
    void SocketDnsLookupDone(int error);
    void SocketSessionConnected(int error);
    void SocketDataAvailable(int error);
    void SocketSessionClosed(int error);
    void SocketError(const std::string& message);
    void HeaderReceived();
    void Fail(int code, const std::string& reason);
    void Finish(int error);
    void TimedOut();
    void Post(std::function<void()> handler);

    TAsyncSocket socket_;
    THttpAnswerReader reader_;
    QTimer timer_;
    THttpUrl target_;
    THttpState state_ = httpReady;
    THttpRequest request_ = httpGET;
    int statusCode_ = 0;
    std::string reasonPhrase_;
    std::string location_;
    int relocations_ = 0;
    bool relocating_ = false;
    // A failure the socket reported by event during one of our calls on it, raised after the call.
    bool inSocketCall_ = false;
    std::string socketMessage_;
    // Counts requests, so a posted restart or a late socket event finds its request gone.
    uint64_t serial_ = 0;
};

} // namespace vistrel
