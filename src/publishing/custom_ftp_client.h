#pragma once
#include "net/async_socket.h"
#include "publishing/ftp_reply_reader.h"
#include "publishing/ftp_types.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace vistrel {

// What the client is doing. The step alone decides which handler takes the next reply or socket
// event; SetStep is its only writer and traces every change by name (logging category
// "vistrel.ftp"). A request runs from Stop through its steps back to Stop.
enum class TFtpStep : unsigned char {
    Stop,              // no request runs; a new one may start
    Resolve,           // looking up the server's address
    Connect,           // the control connection is being made
    Welcome,           // connected; the welcome (220) is awaited
    Auth,              // AUTH TLS sent (234)
    Handshake,         // the control connection's TLS handshake runs
    TrustQuestion,     // the user decides whether an unverified certificate is trusted, or whether
                       // the login goes on without encryption
    User,              // USER sent (331 or 230)
    Pass,              // PASS sent (230)
    Pbsz,              // PBSZ 0 sent (200)
    Prot,              // PROT P sent (200)
    Command,           // one command of a single request sent; its row in the table says what succeeds
    Quit,              // QUIT sent (221, or the server closing)
    Pasv,              // PASV sent (227)
    Port,              // PORT sent (200); the server may already connect to us
    DataCommand,       // STOR or the listing command sent (125 or 150); in passive mode the data
                       // connection is being made meanwhile
    DataWait,          // 125/150 came; the data connection or its handshake is awaited
    Transfer,          // data moving; the final reply and the data connection's close both outstanding
    TransferClosed,    // the data connection closed; the final reply is outstanding
    TransferConfirmed, // the final reply confirmed the transfer; the data connection's close is outstanding
};
const char* StepName(TFtpStep step);

// How the client reaches and talks to its server: set before ConnectAsync.
struct TFtpConfig {
    std::string HostName;
    std::string Port = "ftp";
    std::string LocalAddr = "0.0.0.0";
    std::string UserName;
    std::string PassWord;
    TFtpOptions Options = ftpAcceptLF;
    // How long an uploaded file's data connection stays open after its last byte before it is
    // closed. The delayed close already waits for the send queue to empty, so no wait is needed;
    // it stays adjustable for a server that wants a pause before the close.
    int EndOfFileDelayMs = 0;
    // The longest a reply may take from its first byte to its last line; 0 waits without limit.
    int ReplyTimeLimitMs = 60000;
    // Explicit FTPS (AUTH TLS, PBSZ 0, PROT P): the control connection and every data connection
    // encrypted. Without RequireTls a server that refuses AUTH TLS is used without encryption when
    // OnPlainFallback agrees.
    bool UseTls = false;
    bool RequireTls = false;
    // A certificate the system does not vouch for is accepted when its SHA-256 fingerprint (64
    // upper-case hex digits) is this one, or when OnUntrustedCertificate answers true.
    std::string TrustedFingerprint;
    // Start a data connection's handshake as soon as the connection stands (uploads in passive
    // mode; STOR goes out at once) instead of after the 150 reply.
    bool DataTlsFirst = false;
    // Bounds of one listing: its size and its whole duration (0: no time limit).
    int64_t MaxListingBytes = 16 * 1024 * 1024;
    int ListingTimeLimitMs = 300000;
};

// The FTP engine: one control connection, one data connection, one request at a time, as one
// explicit state machine (TFtpStep) over a reply reader that buffers, joins and bounds replies.
// Each finished request is reported once through OnRequestDone, always posted through the event
// loop, never from inside the call that started it.
class TCustomFtpClient : public QObject {
public:
    explicit TCustomFtpClient(QObject* parent = nullptr);
    ~TCustomFtpClient() override;

    TFtpConfig Config;
    // Arguments of the next request.
    std::string HostDirName;  // argument of Cwd
    std::string HostFileName; // argument of Mkd, Rmd, Dele, of STOR and of the listing command
    std::string LocalFileName;
    bool Binary = true;
    // The listing command of Ls: "NLST", "MLSD" or "LIST -a"; HostFileName follows when not empty.
    std::string ListCommand = "NLST";

    bool Passive() const { return passive_; }
    void SetPassive(bool value) { passive_ = value; }
    bool Connected() const { return control_.State() != wsClosed; }
    TFtpStep Step() const { return step_; }
    TFtpState State() const;
    int StatusCode() const { return statusCode_; }
    const std::string& LastResponse() const { return lastResponse_; }
    // The last failure: the server's reply line and what was expected, or the client's own text.
    const std::string& ErrorMessage() const { return errorMessage_; }
    // The quoted folder name of the last successful CWD, CDUP or MKD reply.
    const std::string& DirResult() const { return dirResult_; }
    // The control connection is encrypted; the data connections are too (PROT P accepted).
    bool Encrypted() const { return tlsControl_; }
    bool DataEncrypted() const { return protP_; }
    // The last login failed because the server offers no TLS while RequireTls is set, or because
    // its certificate was not trusted (its fingerprint then in UntrustedFingerprint()).
    bool TlsRefused() const { return tlsRefused_; }
    const std::string& UntrustedFingerprint() const { return untrustedFingerprint_; }
    std::string TlsVersion() const;
    // Every line of the last complete reply (FEAT lists its features this way).
    const TFtpReply& LastReply() const { return lastReply_; }
    int64_t ByteCount() const { return byteCount_; }

    // Events. OnDisplay gets every command ("> "), every reply line ("< ") and the client's own
    // notes ("! "); OnCommand may change a command before it goes out.
    std::function<void(const std::string& message)> OnDisplay;
    std::function<void(std::string& command)> OnCommand;
    std::function<void(int64_t count, bool& abort)> OnProgress;
    std::function<void(int error)> OnSessionConnected;
    std::function<void(int error)> OnSessionClosed;
    std::function<void(TFtpRequest request, int error)> OnRequestDone;
    std::function<void()> OnStateChange;
    std::function<void(const std::exception& error, bool& canClose)> OnBackgroundException;
    // The server's certificate is not vouched for by the system's CA store (or names another
    // host): true trusts it for this session. `reason` is OpenSSL's English text.
    std::function<bool(const std::string& fingerprint, const std::string& reason)> OnUntrustedCertificate;
    // UseTls without RequireTls, and the server refused AUTH TLS: true goes on without encryption
    // (the password then goes in clear), false ends the login (TlsRefused). Without a handler the
    // session goes on unencrypted.
    std::function<bool()> OnPlainFallback;

    // Non-blocking operations: they start a request and return; OnRequestDone tells the outcome.
    // A call the present state does not allow throws FtpException.
    void ConnectAsync();
    void TypeSetAsync();
    void CwdAsync();
    void CDupAsync();
    void MkdAsync();
    void RmdAsync();
    void DeleAsync();
    void QuitAsync();
    // FEAT; the features stand in LastReply() afterwards.
    void FeatAsync();
    void PutAsync();
    void LsAsync();
    // Local: closes everything at once, sends nothing, reports nothing.
    void Abort();

protected:
    bool ReadyForRequest() const { return step_ == TFtpStep::Stop; }
    uint64_t RequestSerial() const { return requestSerial_; }
    int RequestResult() const { return requestResult_; }
    void SetTimeoutNote(const std::string& message, int code);
    // A transfer moved; the blocking layer pushes its deadline on.
    virtual void ProgressMade() {}

private:
    void SetStep(TFtpStep step);
    void Display(const std::string& message);
    void Post(std::function<void()> handler);

    // Requests.
    void BeginRequest(TFtpRequest request);
    void RequireReady() const;
    void RequireConnected(const char* message) const;
    void StartCommand(TFtpRequest request, const std::string& argument);
    void Send(TFtpStep step, const std::string& command);
    void Finish(int result);
    void Fail(int result, const std::string& message);
    void Refused();
    std::vector<int> Expected() const;

    // Control connection and login.
    void ControlLookupDone(int error);
    void ControlConnected(int error);
    void ControlDataAvailable();
    void ControlClosed(int error);
    void ReplyClockExpired();
    void EndSession(const std::string& why);
    void HandleReply(const TFtpReply& reply);
    void Welcomed();
    void SendUser();
    void LoggedIn();
    void AuthRefused();
    void ControlTlsDone(int error);
    void CertificateAnswered(bool trusted);
    void CommandDone();
    std::string SocketErrorText(int error) const;

    // Data connections and transfers (ftp_transfer.cpp).
    bool Uploading() const { return request_ == ftpPutAsync; }
    void StartDataSetup();
    void ListenForData();
    void PasvReply();
    void DataConnected(int error);
    void WireDataConnection();
    void DataAccepted();
    void SendDataCommand();
    void DataCommandAccepted();
    void StartDataTlsOrTransfer();
    void DataTlsDone(int error);
    void StartTransfer();
    void FinalReply();
    void DataClosed(int error);
    void EndTransfer();
    void ReceiveData();
    void SendChunk(int error);
    void EndOfFile();
    bool ProgressAborts();
    void TransferFault(int error, const std::string& note);
    void ListingRefused(const std::string& note);
    void StartListingClock();
    bool OpenLocalFile();
    void CloseLocalFile();
    void CloseDataSocket();

    TAsyncSocket control_;
    TAsyncSocket data_;
    TFtpReplyReader reader_;
    QTimer replyClock_;
    TFtpStep step_ = TFtpStep::Stop;
    TFtpRequest request_ = ftpNone;
    uint64_t requestSerial_ = 0;
    uint64_t finishedSerial_ = 0; // the request that has completed: each completes once
    int requestResult_ = 0;
    std::string sentVerb_; // the verb of the command whose reply is awaited ("PASS", "STOR")
    bool welcomed_ = false;
    bool passive_ = false;
    bool tlsControl_ = false;
    bool protP_ = false;
    bool tlsRefused_ = false;
    std::string untrustedFingerprint_;
    int statusCode_ = 0;
    std::string lastResponse_;
    std::string errorMessage_;
    std::string dirResult_;
    TFtpReply lastReply_;

    // The transfer under way.
    std::FILE* localFile_ = nullptr;
    std::vector<char> chunk_; // the one chunk of an upload in memory
    int64_t byteCount_ = 0;
    int transferError_ = 0;
    uint64_t transferSerial_ = 0;
    // Unused tickets of this login's connections, newest last: every data connection resumes
    // with one of its own, since a TLS 1.3 server may take each ticket once (and vsftpd insists
    // on the resumption).
    std::vector<TTlsSession> tickets_;
    void KeepTickets(std::vector<TTlsSession> tickets);
    std::chrono::steady_clock::time_point startTime_;
};

} // namespace vistrel
