#include "invitations/http_client.h"

#include "net/socket_errors.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <algorithm>

namespace vistrel {
namespace {

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size()) return false;
    return std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
}

std::string SocketFailureText(int error) {
    return SocketErrorDesc(error) + " (Error #" + std::to_string(error) + ")";
}

// A relocation address goes into our next request line as it stands; a blank or a control character
// in it (a lone CR survives the line cutting) could smuggle further header lines to that server.
bool IsSafeLocation(const std::string& location) {
    return !location.empty() && std::none_of(location.begin(), location.end(),
                                             [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

bool IsHttpScheme(const std::string& scheme) {
    return scheme.size() == 4 && StartsWithNoCase(scheme, "http");
}

} // namespace

THttpUrl ParseHttpUrl(const std::string& url) {
    THttpUrl parts;
    std::string rest = url;
    size_t scheme = rest.find("://");
    if (scheme != std::string::npos) {
        parts.scheme = rest.substr(0, scheme);
        rest = rest.substr(scheme + 3);
    }
    size_t hostEnd = rest.find_first_of("/?");
    std::string authority = rest.substr(0, hostEnd);
    if (hostEnd != std::string::npos) parts.path = rest.substr(hostEnd);
    // "http://host?query" has no "/" of its own; a request line needs one.
    if (parts.path.front() == '?') parts.path.insert(0, "/");
    size_t at = authority.rfind('@');
    if (at != std::string::npos) {
        std::string user = authority.substr(0, at);
        authority = authority.substr(at + 1);
        size_t colon = user.find(':');
        parts.user = user.substr(0, colon);
        if (colon != std::string::npos) parts.password = user.substr(colon + 1);
    }
    size_t colon = authority.rfind(':');
    if (colon != std::string::npos) {
        std::string port = authority.substr(colon + 1);
        if (!port.empty()) parts.port = port;
        authority.resize(colon);
    }
    parts.host = authority;
    return parts;
}

THttpUrl Relocate(const THttpUrl& current, const std::string& location) {
    if (StartsWithNoCase(location, "http://")) return ParseHttpUrl(location);
    THttpUrl next = current;
    if (location.front() == '/') {
        next.path = location;
        return next;
    }
    std::string folder = current.path.substr(0, current.path.find('?'));
    folder.resize(folder.rfind('/') + 1);
    next.path = folder + location;
    return next;
}

std::string BuildGetRequest(const THttpUrl& url, const std::string& accept, const std::string& agent,
                            bool noCache) {
    std::string request = "GET " + url.path + " HTTP/1.0\r\n";
    request += "Accept: " + accept + "\r\n";
    request += "User-Agent: " + agent + "\r\n";
    request += "Host: " + url.host + "\r\n";
    if (noCache) request += "Pragma: no-cache\r\n";
    request += "\r\n";
    return request;
}

THttpClient::THttpClient(QObject* parent) : QObject(parent) {
    socket_.OnDnsLookupDone = [this](int error) { SocketDnsLookupDone(error); };
    socket_.OnSessionConnected = [this](int error) { SocketSessionConnected(error); };
    socket_.OnDataAvailable = [this](int error) { SocketDataAvailable(error); };
    socket_.OnSessionClosed = [this](int error) { SocketSessionClosed(error); };
    socket_.OnError = [this](const std::string& message) { SocketError(message); };
    socket_.OnBackgroundException = [this](const std::exception& error, bool&) {
        if (state_ != httpReady) Fail(404, error.what());
    };
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] { TimedOut(); });
}

THttpClient::~THttpClient() = default;

// The only writer of the state.
void THttpClient::SetState(THttpState state) {
    state_ = state;
}

void THttpClient::Post(std::function<void()> handler) {
    QMetaObject::invokeMethod(this, std::move(handler), Qt::QueuedConnection);
}

void THttpClient::GetASync() {
    if (state_ != httpReady) throw EHttpException("HTTP component is busy", 0);
    request_ = httpGET;
    statusCode_ = 0;
    reasonPhrase_.clear();
    location_.clear();
    relocations_ = 0;
    target_ = ParseHttpUrl(URL);
    StartRequest();
}

void THttpClient::StartRequest() {
    ++serial_;
    reader_.Reset();
    relocating_ = false;
    SetState(httpDnsLookup);
    timer_.start(std::max(TimeoutMs, 1));
    // A dotted address is answered inside this call; a name later, from the event loop.
    socket_.DnsLookup(target_.host);
}

void THttpClient::Get() {
    GetASync();
    // The design spins on "process messages, sleep 0"; sleeping in the event loop until something
    // arrives gives the same order of events without burning a core. The client's own timer bounds it.
    while (state_ != httpReady) {
        if (QCoreApplication::closingDown()) {
            Abort();
            break;
        }
        QTimer wake;
        wake.setSingleShot(true);
        wake.start(50);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (statusCode_ > 399) throw EHttpException(reasonPhrase_, statusCode_);
}

void THttpClient::Abort() {
    if (state_ == httpReady) return;
    request_ = httpAbort;
    Fail(404, "request aborted");
}

void THttpClient::SocketDnsLookupDone(int error) {
    if (state_ != httpDnsLookup) return;
    if (error != 0) return Fail(404, "can't resolve hostname to IP address");
    socket_.SetAddr(socket_.DnsResult());
    socket_.SetPort(target_.port);
    socket_.SetProto("tcp");
    socket_.SetLocalAddr(LocalAddr);
    SetState(httpConnecting);
    socketMessage_.clear();
    inSocketCall_ = true;
    socket_.Connect();
    inSocketCall_ = false;
    if (socketMessage_.empty()) return;
    // The socket reported the failed start by event, not by exception; tell the owner, then end.
    if (OnSocketError) OnSocketError();
    if (state_ != httpConnecting) return;
    int number = socket_.LastError();
    Fail(404, "can't connect: " + (number != 0 ? SocketFailureText(number) : socketMessage_));
}

void THttpClient::SocketSessionConnected(int error) {
    if (state_ != httpConnecting) return;
    if (error != 0) return Fail(404, SocketFailureText(error));
    SetState(httpConnected);
    socket_.SendStr(BuildGetRequest(target_, Accept, Agent, NoCache));
    if (state_ == httpConnected) SetState(httpWaitingHeader);
}

void THttpClient::SocketDataAvailable(int) {
    char buffer[8192];
    int count = socket_.Receive(buffer, sizeof buffer);
    if (count <= 0) return;
    if (state_ != httpWaitingHeader && state_ != httpWaitingBody) return;
    timer_.start(std::max(TimeoutMs, 1));
    auto piece = reader_.Feed(std::string_view(buffer, static_cast<size_t>(count)));
    if (reader_.Part() == THttpAnswerPart::Failed) return Fail(404, reader_.Error());
    if (piece.headerComplete) {
        HeaderReceived();
        if (state_ != httpWaitingBody) return;
    }
    if (state_ == httpWaitingBody && RcvdStream && !piece.document.empty())
        RcvdStream->write(piece.document.data(), static_cast<std::streamsize>(piece.document.size()));
}

void THttpClient::HeaderReceived() {
    if (!reader_.HasStatusLine() && !reader_.HeaderlessHtml()) return Fail(404, "no HTTP answer");
    statusCode_ = reader_.StatusCode();
    reasonPhrase_ = reader_.ReasonPhrase();
    location_ = reader_.Location();
    if (!location_.empty()) {
        if (relocations_ >= MaxRelocations) return Fail(404, "too many relocations");
        if (!IsSafeLocation(location_)) return Fail(404, "invalid relocation");
        THttpUrl next = Relocate(target_, location_);
        // Only plain HTTP can be followed; an "https://" address must not be asked on port 80 in clear.
        if (!IsHttpScheme(next.scheme)) return Fail(404, "can't follow relocation to " + location_);
        ++relocations_;
        target_ = next;
        relocating_ = true;
        socket_.Close();
        return;
    }
    SetState(httpWaitingBody);
    if (statusCode_ >= 400) socket_.Close();
}

void THttpClient::SocketSessionClosed(int error) {
    if (relocating_) {
        relocating_ = false;
        uint64_t serial = serial_;
        Post([this, serial] {
            if (serial_ == serial && state_ != httpReady) StartRequest();
        });
        return;
    }
    switch (state_) {
    case httpConnected:
    case httpWaitingHeader:
        if (error != 0) return Fail(404, SocketFailureText(error));
        // A status line without the empty line after it still is an answer, without a document.
        if (reader_.HasStatusLine()) {
            statusCode_ = reader_.StatusCode();
            reasonPhrase_ = reader_.ReasonPhrase();
            return Finish(0);
        }
        return Fail(404, "no HTTP answer");
    case httpWaitingBody:
        if (error != 0) return Fail(404, SocketFailureText(error));
        if (statusCode_ < 400 && OnDocEnd) OnDocEnd();
        return Finish(0);
    default:
        return;
    }
}

void THttpClient::SocketError(const std::string& message) {
    if (inSocketCall_) {
        socketMessage_ = message.empty() ? "socket error" : message;
        return;
    }
    // Reported from inside the socket's own event handling: the owner hears of it from the loop.
    Post([this] {
        if (OnSocketError) OnSocketError();
    });
}

void THttpClient::TimedOut() {
    if (state_ == httpReady) return;
    Fail(404, SocketFailureText(wsa::TimedOut));
}

void THttpClient::Fail(int code, const std::string& reason) {
    if (state_ == httpReady || state_ == httpAborting) return;
    SetState(httpAborting);
    statusCode_ = code;
    reasonPhrase_ = reason;
    relocating_ = false;
    if (socket_.State() != wsClosed) socket_.Abort();
    Finish(code);
}

void THttpClient::Finish(int error) {
    timer_.stop();
    ++serial_;
    SetState(httpReady);
    THttpRequest request = request_;
    Post([this, request, error] {
        if (OnRequestDone) OnRequestDone(request, error);
    });
}

} // namespace vistrel
