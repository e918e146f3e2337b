#pragma once
#include "net/async_socket.h"
#include "publishing/ftp_reply_reader.h"
#include "publishing/ftp_types.h"
#include <initializer_list>

#include <QObject>
#include <QTimer>

#include <bitset>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vistrel {

// The FTP engine: one control connection, one data connection, one request at a time. It is a
// single explicit state machine (TFtpState, written only by SetState) over a reply reader that
// buffers partial lines. Requests are single commands or fixed sequences of steps; each finished
// request is reported once through OnRequestDone, always posted through the event loop.
class TCustomFtpClient : public QObject {
public:
    explicit TCustomFtpClient(QObject* parent = nullptr);
    ~TCustomFtpClient() override;

    // Settings (published properties).
    std::string HostName;
    std::string Port = "ftp";
    std::string LocalAddr = "0.0.0.0";
    std::string UserName;
    std::string PassWord;
    std::string HostDirName;
    std::string HostFileName;
    std::string LocalFileName;
    bool Binary = true;
    bool DisplayFileFlag = false;
    TFtpShareMode ShareMode = ftpShareExclusive; // advisory only: POSIX has no share modes
    TFtpOptions Options = ftpAcceptLF;
    // How long an uploaded file's data connection stays open after its last byte before it is
    // closed. The delayed close already waits for the send queue to empty, so no wait is needed;
    // it stays adjustable for a server that wants a pause before the close.
    int EndOfFileDelayMs = 0;
    // The longest a reply may take from its first byte to its last line; 0 waits without limit.
    int ReplyTimeLimitMs = 60000;
    // Explicit FTPS (AUTH TLS, PBSZ 0, PROT P): the control connection and every data connection
    // encrypted. Without RequireTls a server that refuses AUTH TLS is used without encryption.
    bool UseTls = false;
    bool RequireTls = false;
    // A certificate the system does not vouch for is accepted when its SHA-256 fingerprint (64
    // upper-case hex digits) is this one, or when OnUntrustedCertificate answers true.
    std::string TrustedFingerprint;
    // Start a data connection's handshake as soon as the connection stands (uploads in passive
    // mode; STOR goes out at once) instead of after the 150 reply.
    bool DataTlsFirst = false;
    // The listing command of Ls: "NLST", "MLSD" or "LIST -a"; HostFileName follows when not empty.
    std::string ListCommand = "NLST";
    // Bounds of one listing: its size and its whole duration (0: no time limit).
    int64_t MaxListingBytes = 16 * 1024 * 1024;
    int ListingTimeLimitMs = 300000;

    bool Passive() const { return passive_; }
    void SetPassive(bool value) { passive_ = value || connectionType_ != ftpDirect; }
    TFtpConnectionType ConnectionType() const { return connectionType_; }
    void SetConnectionType(TFtpConnectionType value);
    bool Connected() const;
    TFtpState State() const { return state_; }
    int StatusCode() const { return statusCode_; }
    const std::string& LastResponse() const { return lastResponse_; }
    const std::string& ErrorMessage() const { return errorMessage_; }
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

    // Events.
    std::function<void(const std::string& message)> OnDisplay;
    std::function<void(const std::string& data)> OnDisplayFile;
    std::function<void(std::string& command)> OnCommand;
    std::function<void()> OnResponse;
    std::function<void(int64_t count, bool& abort)> OnProgress;
    std::function<void(int error)> OnSessionConnected;
    std::function<void(int error)> OnSessionClosed;
    std::function<void(TFtpRequest request, int error)> OnRequestDone;
    std::function<void()> OnStateChange;
    std::function<void(bool& cancel)> OnReadyToTransmit;
    std::function<void(const std::exception& error, bool& canClose)> OnBackgroundException;
    // The server's certificate is not vouched for by the system's CA store (or names another
    // host): true trusts it for this session. `reason` is OpenSSL's English text.
    std::function<bool(const std::string& fingerprint, const std::string& reason)> OnUntrustedCertificate;

    // Non-blocking operations: they start a request and return; OnRequestDone tells the outcome.
    void OpenAsync();
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
    // Local: closes everything at once, sends nothing.
    void Abort();

protected:
    bool ReadyForRequest() const { return state_ == ftpReady || state_ == ftpInternalReady; }
    uint64_t RequestSerial() const { return requestSerial_; }
    int RequestResult() const { return requestResult_; }
    void SetTimeoutNote(const std::string& message, int code);
    // A transfer moved; the blocking layer pushes its deadline on.
    virtual void ProgressMade() {}

private:
    using Handler = void (TCustomFtpClient::*)();
    // Steps of a sequence in their fixed order (the subset of the design's list the program uses).
    enum Step {
        stOpen,
        stAuth,
        stUser,
        stPass,
        stPbsz,
        stProt,
        stCwd,
        stCDup,
        stType,
        stPort,
        stPut,
        stLs,
        stMkd,
        stRmd,
        stDele,
        stQuit,
        stCount
    };

    void SetState(TFtpState state);
    void Display(const std::string& message);
    void SendCommand(std::string command);
    void ExecAsync(TFtpRequest request, const std::string& command, std::vector<int> okCodes,
                   Handler done = nullptr);
    void StartSequence(TFtpRequest request, std::initializer_list<Step> steps, bool login);
    void RunNextStep(int stepResult);
    void StartStep(Step step);
    void TriggerRequestDone(int result);
    void FinishRequest(int result);
    void PostRequestDone(TFtpRequest request, int result);
    void Post(std::function<void()> handler);

    // Control connection.
    void StartOpen();
    void StartUser();
    void StartPass();
    void ControlDnsLookupDone(int error);
    void ControlSessionConnected(int error);
    void ControlDataAvailable(int error);
    void ControlSessionClosed(int error);
    void HandleReply(const TFtpReply& reply);
    void HandleWelcomeLine();
    void StartReplyClock();
    void ReplyClockExpired();
    void ReplyRefused(const std::string& why);
    void StandardJudge();
    void QuitDone();
    void AuthDone();
    void ControlTlsDone(int error);
    void CertificateAnswered(bool trusted);
    void ProtDone();
    void StartDataTls(std::function<void()> ready);
    std::string SocketErrorText(int error) const;

    // Data transfers.
    void ResetDataSocket();
    void StartPort();
    void StartLs();
    void StartPut();
    bool OpenPassiveDataConnection(bool upload, std::function<void()> connected);
    void LsFirstReply();
    void StartListingClock();
    void ListingRefused();
    void TransferFinalReply(std::initializer_list<int> success, const char* failure);
    bool AdoptAcceptedConnection();
    void LsFinalReply();
    void PutFirstReply();
    void PutFinalReply();
    void ReceiveAcceptor();
    void UploadAcceptor();
    void ReceiveConnected();
    void ReceiveData();
    void ReceiveClosed(int error);
    void UploadClosed(int error);
    void PostSendData();
    void ChunkSender(int error);
    void EndOfFile();
    void TransferEnded();
    bool ProgressAborts();
    void CloseLocalFile();
    void CloseDataSocket();

    TAsyncSocket control_;
    TAsyncSocket data_;
    TFtpReplyReader reader_;
    TFtpReplyJoiner joiner_;
    TFtpReply lastReply_;
    QTimer replyClock_;
    uint64_t controlSerial_ = 0; // counts closings of the control connection
    bool tlsControl_ = false;
    bool protP_ = false;
    bool tlsRefused_ = false;
    std::string untrustedFingerprint_;
    bool passive_ = false;
    TFtpConnectionType connectionType_ = ftpDirect;
    TFtpState state_ = ftpReady;
    bool sessionConnected_ = false;
    int statusCode_ = 0;
    std::string lastResponse_;
    std::string errorMessage_;
    std::string dirResult_;

    // Request engine.
    TFtpRequest requestType_ = ftpNone;
    int requestResult_ = 0;
    int sequenceResult_ = 0;
    uint64_t requestSerial_ = 0;
    bool requestDone_ = true; // the once-only flag of the completion
    bool sequenceRunning_ = false;
    std::bitset<stCount> steps_;
    int lastStep_ = -1;
    std::vector<int> okCodes_;
    Handler next_ = nullptr;
    Handler done_ = nullptr;
    int savedCode_ = -1;
    std::string savedLine_;
    std::string pasvResponse_;

    // Transfer.
    std::FILE* localFile_ = nullptr;
    std::vector<char> chunk_;            // the one chunk of an upload in memory
    std::function<void()> dataTlsReady_; // runs when the data connection's handshake is done
    int64_t byteCount_ = 0;
    std::chrono::steady_clock::time_point startTime_;
    bool startTaken_ = false;
    bool transferConfirmed_ = false;
    bool dataClosed_ = false;
    int transferError_ = 0;
    bool replyReceived_ = false;
    bool connectionOpen_ = false;
    bool endOfFile_ = false;
    uint64_t transferSerial_ = 0;
    std::string dataCommand_;
};

} // namespace vistrel
