// The request engine and the control connection of the FTP client: login, FTPS, single commands.
// The data connection and the transfers are in ftp_transfer.cpp.
#include "publishing/custom_ftp_client.h"

#include "net/socket_errors.h"
#include "net/tls_layer.h"

#include <QLoggingCategory>
#include <QMetaObject>

#include <algorithm>

Q_LOGGING_CATEGORY(lcFtp, "vistrel.ftp", QtWarningMsg)

namespace vistrel {

namespace {

// The single commands: what each request sends and which replies count as success. RFC 959 lists
// 200 among the replies to CDUP; several servers send it.
struct TCommandRow {
    TFtpRequest request;
    const char* verb;
    std::vector<int> success;
};
const TCommandRow kCommands[] = {
    {ftpTypeSetAsync, "TYPE", {200}},        {ftpCwdAsync, "CWD", {200, 250, 257}},
    {ftpCDupAsync, "CDUP", {200, 250, 257}}, {ftpMkdAsync, "MKD", {250, 257}},
    {ftpRmdAsync, "RMD", {250, 257}},        {ftpDeleAsync, "DELE", {250, 257}},
    {ftpQuoteAsync, "FEAT", {211}},
};

const TCommandRow& CommandRow(TFtpRequest request) {
    for (const TCommandRow& row : kCommands)
        if (row.request == request) return row;
    throw FtpException("Program error: no command for request " + std::to_string(request));
}

std::string Joined(const std::vector<int>& codes) {
    std::string text;
    for (size_t i = 0; i < codes.size(); ++i)
        text += (i == 0 ? "" : i + 1 == codes.size() ? " or " : ", ") + std::to_string(codes[i]);
    return text;
}

} // namespace

const char* StepName(TFtpStep step) {
    switch (step) {
    case TFtpStep::Stop:
        return "Stop";
    case TFtpStep::Resolve:
        return "Resolve";
    case TFtpStep::Connect:
        return "Connect";
    case TFtpStep::Welcome:
        return "Welcome";
    case TFtpStep::Auth:
        return "Auth";
    case TFtpStep::Handshake:
        return "Handshake";
    case TFtpStep::TrustQuestion:
        return "TrustQuestion";
    case TFtpStep::User:
        return "User";
    case TFtpStep::Pass:
        return "Pass";
    case TFtpStep::Pbsz:
        return "Pbsz";
    case TFtpStep::Prot:
        return "Prot";
    case TFtpStep::Command:
        return "Command";
    case TFtpStep::Quit:
        return "Quit";
    case TFtpStep::Pasv:
        return "Pasv";
    case TFtpStep::Port:
        return "Port";
    case TFtpStep::DataCommand:
        return "DataCommand";
    case TFtpStep::DataWait:
        return "DataWait";
    case TFtpStep::Transfer:
        return "Transfer";
    case TFtpStep::TransferClosed:
        return "TransferClosed";
    case TFtpStep::TransferConfirmed:
        return "TransferConfirmed";
    }
    return "?";
}

TCustomFtpClient::TCustomFtpClient(QObject* parent) : QObject(parent) {
    control_.OnDnsLookupDone = [this](int error) { ControlLookupDone(error); };
    control_.OnSessionConnected = [this](int error) { ControlConnected(error); };
    control_.OnDataAvailable = [this](int) { ControlDataAvailable(); };
    control_.OnSessionClosed = [this](int error) { ControlClosed(error); };
    // The socket aborts the connection after an escaped exception; the protocol shows why.
    control_.OnBackgroundException = [this](const std::exception& error, bool&) {
        Display(std::string("! ") + error.what());
    };
    replyClock_.setSingleShot(true);
    QObject::connect(&replyClock_, &QTimer::timeout, this, [this] { ReplyClockExpired(); });
}

TCustomFtpClient::~TCustomFtpClient() {
    CloseLocalFile();
}

// The only writer of the step.
void TCustomFtpClient::SetStep(TFtpStep step) {
    if (step_ == step) return;
    qCDebug(lcFtp, "step %s -> %s", StepName(step_), StepName(step));
    step_ = step;
    if (OnStateChange) OnStateChange();
}

TFtpState TCustomFtpClient::State() const {
    switch (step_) {
    case TFtpStep::Stop:
        return ftpReady;
    case TFtpStep::Resolve:
        return ftpDnsLookup;
    case TFtpStep::Connect:
    case TFtpStep::Welcome:
        return ftpWaitingBanner;
    default:
        return ftpWaitingResponse;
    }
}

void TCustomFtpClient::Display(const std::string& message) {
    if (OnDisplay) OnDisplay(message);
}

void TCustomFtpClient::SetTimeoutNote(const std::string& message, int code) {
    errorMessage_ = message;
    statusCode_ = code;
}

std::string TCustomFtpClient::SocketErrorText(int error) const {
    return SocketErrorDesc(error) + " (Winsock error #" + std::to_string(error) + ")";
}

void TCustomFtpClient::Post(std::function<void()> handler) {
    QMetaObject::invokeMethod(
        this,
        [this, handler = std::move(handler)] {
            try {
                handler();
            } catch (const std::exception& error) {
                bool canClose = true;
                if (OnBackgroundException) OnBackgroundException(error, canClose);
            }
        },
        Qt::QueuedConnection);
}

// ---- requests -----------------------------------------------------------------------------------

void TCustomFtpClient::RequireReady() const {
    if (!ReadyForRequest()) throw FtpException("FTP component not ready");
}

void TCustomFtpClient::RequireConnected(const char* message) const {
    RequireReady();
    if (!Connected()) throw FtpException(message);
}

void TCustomFtpClient::BeginRequest(TFtpRequest request) {
    request_ = request;
    ++requestSerial_;
    finishedSerial_ = 0;
    requestResult_ = 0;
    errorMessage_.clear();
}

// Sends a command and moves to the step that awaits its reply.
void TCustomFtpClient::Send(TFtpStep step, const std::string& text) {
    std::string command = text;
    if (OnCommand) OnCommand(command);
    sentVerb_ = command.substr(0, command.find(' '));
    SetStep(step);
    Display(sentVerb_ == "PASS" ? "> PASS" : "> " + command);
    if (control_.State() == wsConnected) control_.SendStr(command + "\r\n");
}

void TCustomFtpClient::StartCommand(TFtpRequest request, const std::string& argument) {
    const TCommandRow& row = CommandRow(request);
    RequireConnected("FTP component not connected");
    BeginRequest(request);
    Send(TFtpStep::Command, argument.empty() ? row.verb : std::string(row.verb) + " " + argument);
}

// Completing a request: once per request, back to Stop; OnRequestDone follows from the event loop.
void TCustomFtpClient::Finish(int result) {
    if (finishedSerial_ == requestSerial_) return;
    finishedSerial_ = requestSerial_;
    requestResult_ = result;
    SetStep(TFtpStep::Stop);
    CloseLocalFile();
    CloseDataSocket();
    const TFtpRequest request = request_;
    Post([this, request, result] {
        if (OnRequestDone) OnRequestDone(request, result & 0xFFFF);
    });
}

// A failure of the client's own (not a server's reply): `message` tells what happened.
void TCustomFtpClient::Fail(int result, const std::string& message) {
    if (errorMessage_.empty()) errorMessage_ = message;
    Display("! " + message);
    Finish(result);
}

// The server answered with a code the step does not expect: the request fails with that code.
void TCustomFtpClient::Refused() {
    const std::string why =
        "got " + std::to_string(statusCode_) + " to " + sentVerb_ + ", expected " + Joined(Expected());
    if (errorMessage_.empty()) errorMessage_ = lastResponse_ + " (" + why + ")";
    Display("! " + why);
    Finish(statusCode_);
}

std::vector<int> TCustomFtpClient::Expected() const {
    switch (step_) {
    case TFtpStep::Welcome:
        return {220};
    case TFtpStep::Auth:
        return {234};
    case TFtpStep::User:
        return {331, 230};
    case TFtpStep::Pass:
        return {230};
    case TFtpStep::Pbsz:
    case TFtpStep::Prot:
    case TFtpStep::Port:
        return {200};
    case TFtpStep::Command:
        return CommandRow(request_).success;
    case TFtpStep::Quit:
        return {221};
    case TFtpStep::Pasv:
        return {227};
    case TFtpStep::DataCommand:
        return {125, 150};
    case TFtpStep::DataWait:
    case TFtpStep::Transfer:
    case TFtpStep::TransferClosed:
        return {226, 250};
    default:
        return {};
    }
}

// ---- operations ---------------------------------------------------------------------------------

void TCustomFtpClient::ConnectAsync() {
    RequireReady();
    if (Connected()) throw FtpException("FTP component already connected");
    if (Config.UserName.empty()) throw FtpException("UserName emtpy");
    BeginRequest(ftpConnectAsync);
    reader_.Clear();
    reader_.SetAcceptLF(Config.Options & ftpAcceptLF);
    reader_.SetTimeLimit(std::chrono::milliseconds(std::max(Config.ReplyTimeLimitMs, 0)));
    tlsControl_ = protP_ = tlsRefused_ = welcomed_ = false;
    tickets_.clear(); // the data connections resume this session's, not an older one's
    untrustedFingerprint_.clear();
    SetStep(TFtpStep::Resolve);
    // A dotted address reports at once, from inside DnsLookup.
    control_.DnsLookup(Config.HostName);
}

void TCustomFtpClient::TypeSetAsync() {
    StartCommand(ftpTypeSetAsync, Binary ? "I" : "A");
}

void TCustomFtpClient::CwdAsync() {
    if (HostDirName.empty()) throw FtpException("HostDirName emtpy");
    StartCommand(ftpCwdAsync, HostDirName);
}

void TCustomFtpClient::CDupAsync() {
    StartCommand(ftpCDupAsync, "");
}
void TCustomFtpClient::FeatAsync() {
    StartCommand(ftpQuoteAsync, "");
}
void TCustomFtpClient::MkdAsync() {
    StartCommand(ftpMkdAsync, HostFileName);
}
void TCustomFtpClient::RmdAsync() {
    StartCommand(ftpRmdAsync, HostFileName);
}
void TCustomFtpClient::DeleAsync() {
    StartCommand(ftpDeleAsync, HostFileName);
}

// On a control connection that is not up QUIT could only wait for a reply that never comes; it
// fails at once instead.
void TCustomFtpClient::QuitAsync() {
    if (!ReadyForRequest()) Abort();
    BeginRequest(ftpQuitAsync);
    if (control_.State() == wsConnected) return Send(TFtpStep::Quit, "QUIT");
    statusCode_ = 500;
    Fail(500, "QUIT: not connected");
}

void TCustomFtpClient::PutAsync() {
    RequireConnected("STOR/APPE: not connected");
    if (LocalFileName.empty()) throw FtpException("LocalFileName empty");
    BeginRequest(ftpPutAsync);
    StartDataSetup();
}

void TCustomFtpClient::LsAsync() {
    RequireConnected("NLST: not connected");
    if (LocalFileName.empty()) throw FtpException("LocalFileName empty");
    BeginRequest(ftpLsAsync);
    StartDataSetup();
}

void TCustomFtpClient::Abort() {
    if (finishedSerial_ != requestSerial_) {
        finishedSerial_ = requestSerial_;
        requestResult_ = 426;
        errorMessage_ = "426 Operation aborted.";
    }
    SetStep(TFtpStep::Stop);
    welcomed_ = false;
    CloseLocalFile();
    control_.CancelDnsLookup();
    CloseDataSocket();
    if (control_.State() != wsClosed) control_.Close();
    tlsControl_ = protP_ = false;
    reader_.Clear();
    replyClock_.stop();
}

// ---- control connection -------------------------------------------------------------------------

void TCustomFtpClient::ControlLookupDone(int error) {
    if (step_ != TFtpStep::Resolve) return;
    if (error != 0) {
        lastResponse_ = "500 " + SocketErrorText(error);
        statusCode_ = 500;
        return Fail(error, lastResponse_);
    }
    control_.SetAddr(control_.DnsResult());
    control_.SetLocalAddr(Config.LocalAddr);
    control_.SetProto("tcp");
    control_.SetPort(Config.Port);
    SetStep(TFtpStep::Connect);
    try {
        control_.Connect();
    } catch (const ESocketException& e) {
        lastResponse_ = std::string("500 ESocketException: ") + e.what();
        statusCode_ = 500;
        Fail(500, lastResponse_);
    }
}

void TCustomFtpClient::ControlConnected(int error) {
    if (step_ != TFtpStep::Connect) return;
    if (error == 0) {
        sentVerb_ = "the welcome";
        return SetStep(TFtpStep::Welcome);
    }
    lastResponse_ = "500 " + SocketErrorText(error);
    statusCode_ = 500;
    Fail(error, lastResponse_);
    control_.Close();
}

void TCustomFtpClient::ControlDataAvailable() {
    char buffer[4096];
    int count = control_.Receive(buffer, sizeof buffer);
    if (count < 0) return;
    if (count == 0) return control_.Close();
    reader_.Feed(buffer, static_cast<size_t>(count));
    TFtpReply reply;
    while (control_.State() == wsConnected && reader_.NextReply(reply))
        HandleReply(reply);
    if (reader_.Fault() != TFtpReplyReader::TFault::None) return EndSession(reader_.FaultText());
    if (!reader_.InReply() || !reader_.HasTimeLimit()) return replyClock_.stop();
    if (replyClock_.isActive()) return;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(reader_.Deadline() -
                                                                      TFtpReplyReader::Clock::now());
    replyClock_.start(static_cast<int>(std::max<int64_t>(left.count(), 0)));
}

// A reply that keeps coming without end (endless continuation lines, a byte now and then) would
// hold the session for ever; after the limit the session ends and the request fails.
void TCustomFtpClient::ReplyClockExpired() {
    if (control_.State() == wsClosed || !reader_.InReply()) return;
    if (TFtpReplyReader::Clock::now() < reader_.Deadline()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(reader_.Deadline() -
                                                                          TFtpReplyReader::Clock::now());
        return replyClock_.start(static_cast<int>(left.count()) + 1);
    }
    EndSession("Reply not complete after " + std::to_string(Config.ReplyTimeLimitMs / 1000) + " seconds");
}

// The server broke a bound of the replies: the session ends, the request fails with 421.
void TCustomFtpClient::EndSession(const std::string& why) {
    replyClock_.stop();
    statusCode_ = 421;
    errorMessage_ = "421 " + why;
    Fail(421, why);
    control_.Close();
}

// How a pending request learns that the server went away. A close while a reply is awaited is a
// failure even without a socket error (QUIT, whose reply may be the close, excepted): reporting
// success would turn a dropped connection into a sent file.
void TCustomFtpClient::ControlClosed(int error) {
    replyClock_.stop();
    if (welcomed_) {
        welcomed_ = false;
        if (OnSessionClosed) OnSessionClosed(error);
    }
    if (step_ == TFtpStep::Stop) return;
    if (step_ == TFtpStep::Quit && error == 0) return Finish(0);
    lastResponse_ = "500 Control connection closed. " + SocketErrorText(error);
    statusCode_ = 500;
    Fail(500, lastResponse_);
}

// Every line of a multi-line reply is shown; the step decides what the reply means.
void TCustomFtpClient::HandleReply(const TFtpReply& reply) {
    lastReply_ = reply;
    for (const std::string& line : reply.lines)
        Display("< " + line);
    lastResponse_ = reply.Last();
    // Text without a code (some servers greet that way) is only shown.
    if (reply.code == 0) return;
    statusCode_ = reply.code;
    const int code = reply.code;
    switch (step_) {
    case TFtpStep::Welcome:
        if (code == 220) return Welcomed();
        if (code == 120) return; // "ready in a few minutes": the 220 follows
        Refused();
        return control_.Close();
    case TFtpStep::Auth:
        if (code != 234) return AuthRefused();
        SetStep(TFtpStep::Handshake);
        control_.OnTlsDone = [this](int error) { ControlTlsDone(error); };
        return control_.StartTls(Config.HostName);
    case TFtpStep::User:
        if (code == 230) return LoggedIn();
        if (code != 331) return Refused();
        if (Config.PassWord.empty()) return Fail(500, "Password emtpy");
        return Send(TFtpStep::Pass, "PASS " + Config.PassWord);
    case TFtpStep::Pass:
        return code == 230 ? LoggedIn() : Refused();
    case TFtpStep::Pbsz:
        return code == 200 ? Send(TFtpStep::Prot, "PROT P") : Refused();
    case TFtpStep::Prot:
        if (code != 200) return Refused();
        protP_ = true;
        return Finish(0);
    case TFtpStep::Command:
        return CommandDone();
    case TFtpStep::Quit:
        if (code != 221) Refused();
        Finish(0);
        return control_.Close();
    case TFtpStep::Pasv:
        return code == 227 ? PasvReply() : Refused();
    case TFtpStep::Port:
        return code == 200 ? SendDataCommand() : Refused();
    case TFtpStep::DataCommand:
        return DataCommandAccepted();
    case TFtpStep::DataWait:
    case TFtpStep::Transfer:
    case TFtpStep::TransferClosed:
        return FinalReply();
    default:
        return; // no reply is awaited: only shown
    }
}

void TCustomFtpClient::Welcomed() {
    welcomed_ = true;
    if (OnSessionConnected) OnSessionConnected(0);
    if (Config.UseTls) return Send(TFtpStep::Auth, "AUTH TLS");
    SendUser();
}

void TCustomFtpClient::SendUser() {
    Send(TFtpStep::User, "USER " + Config.UserName);
}

void TCustomFtpClient::LoggedIn() {
    if (tlsControl_) return Send(TFtpStep::Pbsz, "PBSZ 0");
    Finish(0);
}

void TCustomFtpClient::CommandDone() {
    const std::vector<int> success = Expected();
    if (std::find(success.begin(), success.end(), statusCode_) == success.end()) return Refused();
    if (statusCode_ == 250 || statusCode_ == 257) dirResult_ = QuotedFolderName(lastResponse_);
    Finish(0);
}

// ---- FTPS (RFC 4217) -----------------------------------------------------------------------------

// A refused AUTH TLS leaves the session unencrypted, unless encryption is required.
void TCustomFtpClient::AuthRefused() {
    if (Config.RequireTls) {
        tlsRefused_ = true;
        Display("! The server offers no TLS; nothing is sent unencrypted");
        Refused();
        return control_.Close();
    }
    if (!OnPlainFallback) {
        Display("! The server offers no TLS; the session stays unencrypted");
        return SendUser();
    }
    // The question may open a window; it runs from the event loop, not inside the socket's handler.
    SetStep(TFtpStep::TrustQuestion);
    const uint64_t serial = requestSerial_;
    Post([this, serial] {
        if (serial != requestSerial_ || step_ != TFtpStep::TrustQuestion) return;
        if (!OnPlainFallback()) {
            tlsRefused_ = true;
            statusCode_ = 534;
            Fail(534, "534 The server offers no TLS; going on without it was declined");
            return control_.Close();
        }
        Display("! The server offers no TLS; the session stays unencrypted");
        SendUser();
    });
}

void TCustomFtpClient::ControlTlsDone(int error) {
    if (step_ != TFtpStep::Handshake) return;
    const TTlsLayer* tls = control_.Tls();
    if (error != 0 || !tls) {
        statusCode_ = 534;
        Fail(534, "534 TLS handshake failed: " + (tls ? tls->Error() : std::string("no connection")));
        return control_.Close();
    }
    if (tls->Verified() ||
        (!Config.TrustedFingerprint.empty() && tls->Fingerprint() == Config.TrustedFingerprint))
        return CertificateAnswered(true);
    // The question may open a window; it runs from the event loop, not inside the socket's handler.
    SetStep(TFtpStep::TrustQuestion);
    const std::string fingerprint = tls->Fingerprint();
    const std::string reason = tls->VerifyError();
    const uint64_t serial = requestSerial_;
    Display("! Certificate not verified (" + reason + "), SHA-256 " + fingerprint);
    Post([this, fingerprint, reason, serial] {
        if (serial != requestSerial_ || step_ != TFtpStep::TrustQuestion) return;
        bool trusted = OnUntrustedCertificate && OnUntrustedCertificate(fingerprint, reason);
        if (!trusted) untrustedFingerprint_ = fingerprint;
        CertificateAnswered(trusted);
    });
}

void TCustomFtpClient::CertificateAnswered(bool trusted) {
    if (!trusted) {
        tlsRefused_ = true;
        statusCode_ = 534;
        Fail(534, "534 Certificate not trusted");
        return control_.Close();
    }
    tlsControl_ = true;
    Display("! " + TlsVersion() + " on the control connection");
    SendUser();
}

std::string TCustomFtpClient::TlsVersion() const {
    const TTlsLayer* tls = control_.Tls();
    return tls && tls->Established() ? tls->Version() : std::string();
}

} // namespace vistrel
