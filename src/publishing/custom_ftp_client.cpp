// The request engine and the control connection of the FTP client; the data connection and the
// transfers are in ftp_transfer.cpp.
#include "publishing/custom_ftp_client.h"

#include "net/socket_errors.h"
#include "net/tls_layer.h"

#include <QMetaObject>

#include <algorithm>

namespace vistrel {

TCustomFtpClient::TCustomFtpClient(QObject* parent) : QObject(parent) {
    control_.OnDnsLookupDone = [this](int error) { ControlDnsLookupDone(error); };
    control_.OnSessionConnected = [this](int error) { ControlSessionConnected(error); };
    control_.OnDataAvailable = [this](int error) { ControlDataAvailable(error); };
    control_.OnSessionClosed = [this](int error) {
        ++controlSerial_;
        replyClock_.stop();
        ControlSessionClosed(error);
    };
    replyClock_.setSingleShot(true);
    QObject::connect(&replyClock_, &QTimer::timeout, this, [this] { ReplyClockExpired(); });
    // The socket aborts the connection after an escaped exception; the protocol shows why.
    control_.OnBackgroundException = [this](const std::exception& error, bool&) {
        Display(std::string("! ") + error.what());
    };
}

TCustomFtpClient::~TCustomFtpClient() {
    CloseLocalFile();
}

void TCustomFtpClient::SetConnectionType(TFtpConnectionType value) {
    if (Connected()) throw FtpException("FTP component connected");
    connectionType_ = value;
    if (value != ftpDirect) passive_ = true;
}

bool TCustomFtpClient::Connected() const {
    return control_.State() != wsClosed;
}

// The only writer of the client state.
void TCustomFtpClient::SetState(TFtpState state) {
    if (state_ == state) return;
    state_ = state;
    if (OnStateChange) OnStateChange();
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

void TCustomFtpClient::SendCommand(std::string command) {
    if (OnCommand) OnCommand(command);
    Display("> " + command);
    if (control_.State() == wsConnected) control_.SendStr(command + "\r\n");
}

void TCustomFtpClient::ExecAsync(TFtpRequest request, const std::string& command, std::vector<int> okCodes,
                                 Handler done) {
    bool exempt = command == "ABOR" || command == "STAT" || command == "QUIT";
    if (!exempt) {
        if (!ReadyForRequest()) throw FtpException("FTP component not ready");
        if (!Connected()) throw FtpException("FTP component not connected");
    }
    if (!sequenceRunning_) {
        requestType_ = request;
        ++requestSerial_;
    }
    requestDone_ = false;
    okCodes_ = std::move(okCodes);
    next_ = &TCustomFtpClient::StandardJudge;
    done_ = done;
    errorMessage_.clear();
    SetState(ftpWaitingResponse);
    SendCommand(command);
}

void TCustomFtpClient::StartSequence(TFtpRequest request, std::initializer_list<Step> steps, bool login) {
    if (!ReadyForRequest()) throw FtpException("FTP component not ready");
    if (login && Connected()) throw FtpException("FTP component already connected");
    savedCode_ = -1;
    requestType_ = request;
    ++requestSerial_;
    requestResult_ = 0;
    sequenceResult_ = 0;
    lastResponse_.clear();
    errorMessage_.clear();
    steps_.reset();
    for (Step step : steps)
        steps_.set(step);
    lastStep_ = -1;
    sequenceRunning_ = true;
    try {
        RunNextStep(0);
    } catch (...) {
        sequenceRunning_ = false;
        steps_.reset();
        throw;
    }
}

// The dispatcher of a sequence: runs after every step and starts the next one in the fixed order.
void TCustomFtpClient::RunNextStep(int stepResult) {
    if (state_ == ftpAbort) {
        steps_.reset();
        sequenceResult_ = 426;
        errorMessage_ = "426 Operation aborted.";
    } else if (stepResult != 0) {
        sequenceResult_ = stepResult;
        bool quit = steps_[stQuit] && lastStep_ != stQuit;
        steps_.reset();
        if (quit) steps_.set(stQuit);
    }
    for (int step = 0; step < stCount; ++step) {
        if (!steps_[step]) continue;
        steps_.reset(step);
        if (step == stPass && lastStep_ == stUser && statusCode_ != 331) continue;
        if (step == stCwd && HostDirName.empty()) continue;
        if (step == stAuth && !UseTls) continue;
        if ((step == stPbsz || step == stProt) && !tlsControl_) continue;
        if (step == stQuit) {
            savedLine_ = lastResponse_;
            savedCode_ = statusCode_;
        }
        lastStep_ = step;
        try {
            StartStep(static_cast<Step>(step));
        } catch (...) {
            // The request is still open: whoever handles the exception (the socket closes the
            // control connection) must still be able to complete it.
            requestDone_ = false;
            throw;
        }
        return;
    }
    FinishRequest(sequenceResult_);
}

void TCustomFtpClient::StartStep(Step step) {
    switch (step) {
    case stOpen:
        return StartOpen();
    case stAuth:
        return ExecAsync(ftpQuoteAsync, "AUTH TLS", {234}, &TCustomFtpClient::AuthDone);
    case stUser:
        return StartUser();
    case stPass:
        return StartPass();
    case stPbsz:
        return ExecAsync(ftpQuoteAsync, "PBSZ 0", {200});
    case stProt:
        return ExecAsync(ftpQuoteAsync, "PROT P", {200}, &TCustomFtpClient::ProtDone);
    case stCwd:
        return ExecAsync(ftpCwdAsync, "CWD " + HostDirName, {200, 250, 257});
    case stCDup:
        return ExecAsync(ftpCDupAsync, "CDUP", {200, 250, 257});
    case stType:
        return ExecAsync(ftpTypeSetAsync, Binary ? "TYPE I" : "TYPE A", {200});
    case stPort:
        return StartPort();
    case stPut:
        return StartPut();
    case stLs:
        return StartLs();
    case stMkd:
        return ExecAsync(ftpMkdAsync, "MKD " + HostFileName, {250, 257});
    case stRmd:
        return ExecAsync(ftpRmdAsync, "RMD " + HostFileName, {250, 257});
    case stDele:
        return ExecAsync(ftpDeleAsync, "DELE " + HostFileName, {250, 257});
    case stQuit:
        return ExecAsync(ftpQuitAsync, "QUIT", {221}, &TCustomFtpClient::QuitDone);
    case stCount:
        break;
    }
}

// Completing a request: once per request. Inside a sequence a success moves on to the next step.
void TCustomFtpClient::TriggerRequestDone(int result) {
    if (requestDone_) return;
    requestDone_ = true;
    requestResult_ = result;
    if (sequenceRunning_) {
        if (result == 0 && state_ != ftpAbort && state_ != ftpPasvReady) SetState(ftpInternalReady);
        RunNextStep(result);
        return;
    }
    FinishRequest(result);
}

void TCustomFtpClient::FinishRequest(int result) {
    SetState(ftpReady);
    CloseDataSocket();
    if (savedCode_ != -1) {
        lastResponse_ = savedLine_;
        statusCode_ = savedCode_;
        savedCode_ = -1;
    }
    sequenceRunning_ = false;
    steps_.reset();
    requestResult_ = result;
    PostRequestDone(requestType_, result);
}

void TCustomFtpClient::PostRequestDone(TFtpRequest request, int result) {
    Post([this, request, result] {
        if (OnRequestDone) OnRequestDone(request, result & 0xFFFF);
    });
}

// ---- operations ---------------------------------------------------------------------------------

void TCustomFtpClient::OpenAsync() {
    if (!ReadyForRequest()) throw FtpException("FTP component not ready");
    if (Connected()) throw FtpException("FTP component already connected");
    sequenceRunning_ = false;
    StartOpen();
}

void TCustomFtpClient::ConnectAsync() {
    StartSequence(ftpConnectAsync, {stOpen, stAuth, stUser, stPass, stPbsz, stProt}, true);
}

void TCustomFtpClient::TypeSetAsync() {
    ExecAsync(ftpTypeSetAsync, Binary ? "TYPE I" : "TYPE A", {200});
}

void TCustomFtpClient::CwdAsync() {
    if (HostDirName.empty()) throw FtpException("HostDirName emtpy");
    ExecAsync(ftpCwdAsync, "CWD " + HostDirName, {200, 250, 257});
}

// RFC 959 lists 200 among the replies to CDUP; several servers send it.
void TCustomFtpClient::CDupAsync() {
    ExecAsync(ftpCDupAsync, "CDUP", {200, 250, 257});
}
void TCustomFtpClient::FeatAsync() {
    ExecAsync(ftpQuoteAsync, "FEAT", {211});
}
void TCustomFtpClient::MkdAsync() {
    ExecAsync(ftpMkdAsync, "MKD " + HostFileName, {250, 257});
}
void TCustomFtpClient::RmdAsync() {
    ExecAsync(ftpRmdAsync, "RMD " + HostFileName, {250, 257});
}
void TCustomFtpClient::DeleAsync() {
    ExecAsync(ftpDeleAsync, "DELE " + HostFileName, {250, 257});
}

// QUIT may be sent in any state, but on a control connection that is not up it could only wait for
// a reply that never comes (the whole time-out in a blocking Quit). It fails at once instead.
void TCustomFtpClient::QuitAsync() {
    if (control_.State() == wsConnected) {
        ExecAsync(ftpQuitAsync, "QUIT", {221}, &TCustomFtpClient::QuitDone);
        return;
    }
    if (!ReadyForRequest()) Abort();
    requestType_ = ftpQuitAsync;
    ++requestSerial_;
    requestDone_ = false;
    sequenceRunning_ = false;
    errorMessage_ = "QUIT: not connected";
    statusCode_ = 500;
    Display("! " + errorMessage_);
    TriggerRequestDone(500);
}

void TCustomFtpClient::PutAsync() {
    if (!Connected()) throw FtpException("STOR/APPE: not connected");
    if (LocalFileName.empty()) throw FtpException("LocalFileName empty");
    StartSequence(ftpPutAsync, {stPort, stPut}, false);
}

void TCustomFtpClient::LsAsync() {
    if (!Connected()) throw FtpException("NLST: not connected");
    if (LocalFileName.empty() && !DisplayFileFlag) throw FtpException("LocalFileName empty");
    StartSequence(ftpLsAsync, {stPort, stLs}, false);
}

void TCustomFtpClient::Abort() {
    SetState(ftpAbort);
    if (!requestDone_) {
        requestDone_ = true;
        requestResult_ = 426;
        errorMessage_ = "426 Operation aborted.";
    }
    requestType_ = ftpRqAbort;
    sequenceRunning_ = false;
    steps_.reset();
    CloseLocalFile();
    control_.CancelDnsLookup();
    CloseDataSocket();
    if (control_.State() != wsClosed) control_.Close();
    sessionConnected_ = false;
    tlsControl_ = protP_ = false;
    reader_.Clear();
    joiner_.Clear();
    replyClock_.stop();
    SetState(ftpReady);
}

// ---- control connection -------------------------------------------------------------------------

void TCustomFtpClient::StartOpen() {
    if (!ReadyForRequest()) throw FtpException("FTP component not ready");
    if (Connected()) throw FtpException("FTP component already connected");
    if (!sequenceRunning_) {
        requestType_ = ftpOpenAsync;
        ++requestSerial_;
    }
    requestDone_ = false;
    reader_.Clear();
    joiner_.Clear();
    tlsControl_ = protP_ = tlsRefused_ = false;
    untrustedFingerprint_.clear();
    reader_.SetAcceptLF(Options & ftpAcceptLF);
    SetState(ftpDnsLookup);
    control_.DnsLookup(HostName);
}

void TCustomFtpClient::StartUser() {
    if (UserName.empty()) throw FtpException("UserName emtpy");
    ExecAsync(ftpUserAsync, "USER " + UserName, {331, 230});
}

void TCustomFtpClient::StartPass() {
    if (PassWord.empty()) throw FtpException("Password emtpy");
    ExecAsync(ftpPassAsync, "PASS " + PassWord, {230});
}

void TCustomFtpClient::ControlDnsLookupDone(int error) {
    if (state_ != ftpDnsLookup) return;
    if (error != 0) {
        lastResponse_ = "500 " + SocketErrorText(error);
        errorMessage_ = lastResponse_;
        statusCode_ = 500;
        TriggerRequestDone(error);
        return;
    }
    control_.SetAddr(control_.DnsResult());
    control_.SetLocalAddr(LocalAddr);
    control_.SetProto("tcp");
    control_.SetPort(Port);
    SetState(ftpWaitingBanner);
    try {
        control_.Connect();
    } catch (const ESocketException& e) {
        lastResponse_ = std::string("500 ESocketException: ") + e.what();
        errorMessage_ = lastResponse_;
        statusCode_ = 500;
        TriggerRequestDone(500);
    }
}

void TCustomFtpClient::ControlSessionConnected(int error) {
    if (error == 0) {
        sessionConnected_ = true;
        return;
    }
    lastResponse_ = "500 " + SocketErrorText(error);
    errorMessage_ = lastResponse_;
    statusCode_ = 500;
    TriggerRequestDone(error);
    control_.Close();
    SetState(ftpReady);
}

void TCustomFtpClient::ControlDataAvailable(int) {
    char buffer[TFtpReplyReader::kBufferSize];
    // A full buffer asks for 0 bytes, receives 0 and closes: an over-long line ends the session.
    int count = control_.Receive(buffer, reader_.FreeSpace());
    if (requestType_ == ftpRqAbort) return;
    if (count == 0) {
        if (reader_.FreeSpace() == 0) ReplyRefused("! Reply line longer than 4095 bytes");
        control_.Close();
        return;
    }
    if (count < 0) return;
    // The clock of a reply runs from its first byte to its last line.
    if (reader_.Buffered() == 0 && !joiner_.Pending()) StartReplyClock();
    reader_.Append(buffer, count);
    const uint64_t connection = controlSerial_;
    std::string line;
    while (connection == controlSerial_ && reader_.NextLine(line)) {
        TFtpReply reply;
        bool complete = joiner_.Add(line, reply);
        if (joiner_.Overflowed()) {
            ReplyRefused("! Reply longer than " + std::to_string(TFtpReplyJoiner::kMaxReplyBytes) + " bytes");
            control_.Close();
            return;
        }
        if (complete) HandleReply(reply);
    }
    if (reader_.Buffered() == 0 && !joiner_.Pending()) replyClock_.stop();
}

void TCustomFtpClient::StartReplyClock() {
    if (ReplyTimeLimitMs > 0) replyClock_.start(ReplyTimeLimitMs);
}

// A reply that keeps coming without end (endless continuation lines, a byte now and then) would
// hold the session for ever; after the limit the session is closed and the request fails.
void TCustomFtpClient::ReplyClockExpired() {
    if (control_.State() == wsClosed) return;
    ReplyRefused("! Reply not complete after " + std::to_string(ReplyTimeLimitMs / 1000) + " seconds");
    control_.Close();
}

void TCustomFtpClient::ReplyRefused(const std::string& why) {
    Display(why);
    errorMessage_ = "421 " + why.substr(2);
    statusCode_ = 421;
}

// Every line of a multi-line reply is shown; the closing line is the one that is judged.
void TCustomFtpClient::HandleReply(const TFtpReply& reply) {
    for (size_t i = 0; i + 1 < reply.lines.size(); ++i) {
        lastResponse_ = reply.lines[i];
        if (OnResponse) OnResponse();
        Display("< " + lastResponse_);
    }
    lastReply_ = reply;
    lastResponse_ = reply.Last();
    if (OnResponse) OnResponse();
    // Text without a code (some servers greet that way) is only shown.
    if (reply.code == 0) return Display("< " + lastResponse_);
    switch (state_) {
    case ftpWaitingBanner:
        return HandleWelcomeLine();
    case ftpWaitingResponse:
        if (!next_) throw FtpException("Program error: FNext is nil");
        return (this->*next_)();
    default:
        return Display("< " + lastResponse_);
    }
}

void TCustomFtpClient::HandleWelcomeLine() {
    Display("< " + lastResponse_);
    TFtpReplyCode reply = ParseReplyCode(lastResponse_);
    statusCode_ = reply.code;
    if (reply.code != 220) {
        errorMessage_ = lastResponse_;
        TriggerRequestDone(reply.code);
        control_.Close();
        return;
    }
    SetState(ftpConnected);
    if (OnSessionConnected) OnSessionConnected(0);
    TriggerRequestDone(0);
}

void TCustomFtpClient::StandardJudge() {
    Display("< " + lastResponse_);
    int code = ParseReplyCode(lastResponse_).code;
    statusCode_ = code;
    int result = 0;
    if (!okCodes_.empty()) {
        result = std::find(okCodes_.begin(), okCodes_.end(), code) != okCodes_.end() ? 0 : code;
        if (result != 0 && errorMessage_.empty()) errorMessage_ = lastResponse_;
    } else if (code >= 500) {
        result = code;
    }
    requestResult_ = result;
    if (passive_ && code == 227) {
        SetState(ftpPasvReady);
        pasvResponse_ = lastResponse_;
    }
    if (result == 0 && (code == 250 || code == 257)) dirResult_ = QuotedFolderName(lastResponse_);
    if (done_) return (this->*done_)();
    TriggerRequestDone(result);
}

// ---- FTPS (RFC 4217) -----------------------------------------------------------------------------

// 234 to AUTH TLS: the handshake follows on the control connection and the step ends with it. A
// refusal leaves the session unencrypted, unless encryption is required.
void TCustomFtpClient::AuthDone() {
    if (requestResult_ != 0) {
        if (RequireTls) {
            tlsRefused_ = true;
            Display("! The server offers no TLS; nothing is sent unencrypted");
            TriggerRequestDone(requestResult_);
            control_.Close();
            return;
        }
        Display("! The server offers no TLS; the session stays unencrypted");
        requestResult_ = 0;
        return TriggerRequestDone(0);
    }
    control_.OnTlsDone = [this](int error) { ControlTlsDone(error); };
    control_.StartTls(HostName);
}

void TCustomFtpClient::ControlTlsDone(int error) {
    const TTlsLayer* tls = control_.Tls();
    if (error != 0 || !tls) {
        errorMessage_ = "534 TLS handshake failed: " + (tls ? tls->Error() : std::string("no connection"));
        Display("! " + errorMessage_);
        statusCode_ = 534;
        TriggerRequestDone(534);
        control_.Close();
        return;
    }
    if (tls->Verified() || (!TrustedFingerprint.empty() && tls->Fingerprint() == TrustedFingerprint))
        return CertificateAnswered(true);
    // The question may open a window; it runs from the event loop, not inside the socket's handler.
    const std::string fingerprint = tls->Fingerprint();
    const std::string reason = tls->VerifyError();
    const uint64_t serial = requestSerial_;
    Display("! Certificate not verified (" + reason + "), SHA-256 " + fingerprint);
    Post([this, fingerprint, reason, serial] {
        if (serial != requestSerial_ || requestDone_) return;
        bool trusted = OnUntrustedCertificate && OnUntrustedCertificate(fingerprint, reason);
        if (!trusted) untrustedFingerprint_ = fingerprint;
        CertificateAnswered(trusted);
    });
}

void TCustomFtpClient::CertificateAnswered(bool trusted) {
    if (!trusted) {
        tlsRefused_ = true;
        errorMessage_ = "534 Certificate not trusted";
        statusCode_ = 534;
        TriggerRequestDone(534);
        control_.Close();
        return;
    }
    tlsControl_ = true;
    Display("! " + TlsVersion() + " on the control connection");
    TriggerRequestDone(0);
}

void TCustomFtpClient::ProtDone() {
    if (requestResult_ == 0) protP_ = true;
    TriggerRequestDone(requestResult_);
}

std::string TCustomFtpClient::TlsVersion() const {
    const TTlsLayer* tls = control_.Tls();
    return tls && tls->Established() ? tls->Version() : std::string();
}

void TCustomFtpClient::QuitDone() {
    control_.Close();
    // Close reports through ControlSessionClosed; this covers a socket that was already closed.
    TriggerRequestDone(requestResult_);
}

// How a pending request learns that the server went away. A close without a socket error while a
// reply is still awaited is a failure too: reporting the request's untouched result 0 would turn a
// dropped connection into a success (QUIT, whose reply may legitimately be the close, excepted).
void TCustomFtpClient::ControlSessionClosed(int error) {
    if (sessionConnected_) {
        sessionConnected_ = false;
        if (state_ != ftpAbort) SetState(ftpNotConnected);
        if (OnSessionClosed) OnSessionClosed(error);
    }
    if (state_ != ftpAbort) SetState(ftpInternalReady);
    if (requestType_ == ftpRqAbort) return;
    int result = requestResult_;
    bool lostReply = !requestDone_ && requestType_ != ftpQuitAsync && result == 0;
    if (error != 0 || lostReply) {
        lastResponse_ = "500 Control connection closed. " + SocketErrorText(error);
        if (errorMessage_.empty()) errorMessage_ = lastResponse_;
        statusCode_ = 500;
        result = 500;
    }
    TriggerRequestDone(result);
}

} // namespace vistrel
