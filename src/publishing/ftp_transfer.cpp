// Data connections of the FTP client: PORT/PASV set-up, uploads (STOR) and listings (NLST).
// A transfer completes only when both the server's final reply and the closing of the data
// connection have happened, whichever comes first waiting for the other.
#include "publishing/custom_ftp_client.h"

#include "net/socket_errors.h"
#include "net/tls_layer.h"

#include <QMetaObject>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace vistrel {

namespace {

// One chunk in memory at a time; large enough that a big file is not held back by one event-loop
// turn per segment.
constexpr int kChunkSize = 64 * 1024;
constexpr int kReceiveSize = 4096;
// Results of transfers that ended on our side although the data connection closed cleanly; the
// server may still confirm the truncated data with 226, which must not count as success.
constexpr int kLocalAbort = 426;
constexpr int kLocalWriteFailure = 550;

std::string PortArgument(const std::string& dotted, int port) {
    std::string bytes = dotted;
    std::replace(bytes.begin(), bytes.end(), '.', ',');
    return bytes + "," + std::to_string(port / 256) + "," + std::to_string(port % 256);
}

} // namespace

void TCustomFtpClient::ResetDataSocket() {
    data_.OnSessionAvailable = nullptr;
    data_.OnSessionConnected = nullptr;
    data_.OnDataAvailable = nullptr;
    data_.OnDataSent = nullptr;
    data_.OnSessionClosed = nullptr;
    if (data_.State() != wsClosed) data_.Close();
    data_.SetProto("tcp");
    data_.ComponentOptions = 0;
}

void TCustomFtpClient::CloseDataSocket() {
    if (data_.State() != wsClosed) data_.Close();
}

void TCustomFtpClient::CloseLocalFile() {
    if (localFile_) std::fclose(localFile_);
    localFile_ = nullptr;
}

// The port step. The listening socket is bound to the control connection's local address rather
// than to every interface: that is the address PORT names, and nothing else needs to reach it.
// The transfer's fields are reset here, in the port step, and not when STOR or NLST is sent: many
// servers (pyftpdlib among them) connect to the PORT address before they answer PORT, so the
// acceptor may already have run when the put or ls step starts.
void TCustomFtpClient::StartPort() {
    ResetDataSocket();
    transferConfirmed_ = dataClosed_ = replyReceived_ = connectionOpen_ = endOfFile_ = startTaken_ = false;
    transferError_ = 0;
    byteCount_ = 0;
    ++transferSerial_;
    std::string command = "PASV";
    if (!passive_) {
        if (steps_[stPut]) {
            data_.OnSessionAvailable = [this](int) { UploadAcceptor(); };
        } else {
            data_.OnSessionAvailable = [this](int) { ReceiveAcceptor(); };
        }
        std::string localAddress;
        int localPort = 0;
        if (!control_.GetSockName(localAddress, localPort)) localAddress = "0.0.0.0";
        data_.LingerOnOff = wsLingerOn;
        data_.LingerTimeout = 10;
        data_.SetAddr(localAddress);
        data_.SetPort("0");
        data_.Listen();
        std::string listenAddress;
        int port = 0;
        data_.GetSockName(listenAddress, port);
        command = "PORT " + PortArgument(control_.Addr() == "127.0.0.1" ? "127.0.0.1" : localAddress, port);
    }
    ExecAsync(ftpPortAsync, command, {200, 227});
}

bool TCustomFtpClient::OpenPassiveDataConnection(bool upload, std::function<void()> connected) {
    TPasvAddress address = ParsePasvReply(pasvResponse_);
    // The data connection always goes to the server of the control connection: a server behind
    // NAT names its inside address, and a hostile one could name a third host (FTP bounce).
    std::string host;
    int peerPort = 0;
    if (!control_.GetPeerName(host, peerPort)) host = control_.Addr();
    if (host != address.host) Display("! PASV names " + address.host + ", connecting to " + host);
    data_.SetAddr(host);
    data_.SetPort(std::to_string(address.port));
    data_.SetLocalAddr(LocalAddr);
    data_.LingerOnOff = wsLingerOff;
    data_.LingerTimeout = 0;
    data_.ComponentOptions = wsoNoReceiveLoop;
    data_.OnSessionConnected = [this, connected = std::move(connected)](int error) {
        if (error == 0) {
            // With PROT P the first bytes belong to the TLS handshake.
            if (protP_) data_.HoldInput();
            return connected();
        }
        lastResponse_ = "Unable to establish data connection, error #" + std::to_string(error);
        errorMessage_ = lastResponse_;
        statusCode_ = 550;
        CloseDataSocket();
        CloseLocalFile();
        TriggerRequestDone(550);
    };
    try {
        data_.Connect();
    } catch (const ESocketException& e) {
        int code = upload ? 426 : 550;
        lastResponse_ = std::to_string(code) + " ESocketException: " + e.what();
        errorMessage_ = lastResponse_;
        statusCode_ = code;
        CloseDataSocket();
        CloseLocalFile();
        TriggerRequestDone(code);
        return false;
    }
    return true;
}

// ---- receiving a listing ------------------------------------------------------------------------

void TCustomFtpClient::StartLs() {
    if (!Connected()) throw FtpException("NLST: not connected");
    if (LocalFileName.empty() && !DisplayFileFlag) throw FtpException("LocalFileName empty");
    if (!sequenceRunning_) {
        requestType_ = ftpLsAsync;
        ++requestSerial_;
    }
    requestDone_ = false;
    errorMessage_.clear();
    dataCommand_ = "NLST";
    data_.OnSessionAvailable = [this](int) { ReceiveAcceptor(); };
    if (!DisplayFileFlag) {
        localFile_ = std::fopen(LocalFileName.c_str(), "wb");
        if (!localFile_) {
            lastResponse_ = "Unable to open local file " + LocalFileName;
            errorMessage_ = lastResponse_;
            statusCode_ = 550;
            CloseDataSocket();
            TriggerRequestDone(550);
            return;
        }
    }
    if (passive_ && !OpenPassiveDataConnection(false, [this] { ReceiveConnected(); })) return;
    next_ = &TCustomFtpClient::LsFirstReply;
    done_ = nullptr;
    SetState(ftpWaitingResponse);
    StartListingClock();
    SendCommand(HostFileName.empty() ? ListCommand : ListCommand + " " + HostFileName);
}

// A listing is bounded in size and in time: a server that drips bytes or never ends the listing
// would otherwise hold the run, since every byte counts as progress.
void TCustomFtpClient::StartListingClock() {
    const uint64_t serial = transferSerial_;
    if (ListingTimeLimitMs <= 0) return;
    QTimer::singleShot(ListingTimeLimitMs, this, [this, serial] {
        if (serial != transferSerial_ || requestDone_ || requestType_ != ftpLsAsync) return;
        Display("! Listing not complete after " + std::to_string(ListingTimeLimitMs / 1000) + " seconds");
        ListingRefused();
    });
}

void TCustomFtpClient::ListingRefused() {
    errorMessage_ = "426 Listing refused";
    statusCode_ = 426;
    CloseLocalFile();
    CloseDataSocket();
    TriggerRequestDone(426);
}

void TCustomFtpClient::LsFirstReply() {
    Display("< " + lastResponse_);
    int code = ParseReplyCode(lastResponse_).code;
    statusCode_ = code;
    if (code == 125 || (code >= 150 && code <= 159)) {
        next_ = &TCustomFtpClient::LsFinalReply;
        replyReceived_ = true;
        if (protP_ && connectionOpen_) StartDataTls([] {});
        return;
    }
    errorMessage_ = lastResponse_;
    CloseDataSocket();
    CloseLocalFile();
    TriggerRequestDone(code);
}

// The reply after a transfer: a success code confirms it (the request ends once the data connection
// has closed too); anything else fails the request at once.
void TCustomFtpClient::TransferFinalReply(std::initializer_list<int> success, const char* failure) {
    Display("< " + lastResponse_);
    int code = ParseReplyCode(lastResponse_).code;
    statusCode_ = code;
    if (std::find(success.begin(), success.end(), code) != success.end()) {
        transferConfirmed_ = true;
        if (dataClosed_) TransferEnded();
        return;
    }
    errorMessage_ = lastResponse_;
    CloseLocalFile();
    CloseDataSocket();
    Display(failure);
    TriggerRequestDone(code);
}

void TCustomFtpClient::LsFinalReply() {
    TransferFinalReply({125, 226, 250}, "! RETR/LIST/NLST Failed");
}

// Replaces the listening socket by the connection the server opened to it; false when none came.
bool TCustomFtpClient::AdoptAcceptedConnection() {
    int handle = data_.Accept();
    if (handle < 0) return false;
    data_.OnSessionClosed = nullptr;
    data_.Close();
    data_.Dup(handle);
    return true;
}

void TCustomFtpClient::ReceiveAcceptor() {
    if (!AdoptAcceptedConnection()) return;
    ReceiveConnected();
}

void TCustomFtpClient::ReceiveConnected() {
    data_.OnSessionClosed = [this](int error) { ReceiveClosed(error); };
    data_.OnDataAvailable = [this](int) { ReceiveData(); };
    data_.ComponentOptions = wsoNoReceiveLoop;
    startTime_ = std::chrono::steady_clock::now();
    startTaken_ = true;
    connectionOpen_ = true;
    if (protP_) {
        data_.HoldInput();
        if (replyReceived_) StartDataTls([] {});
    }
}

// Encrypts the data connection (PROT P), offering the control connection's session again, and
// runs `ready` when the handshake is done. The handshake starts after the 150 reply: the server
// has then taken the command and expects it (some servers drop a handshake that comes earlier).
void TCustomFtpClient::StartDataTls(std::function<void()> ready) {
    if (!protP_ || (data_.Tls() && data_.Tls()->Established())) return ready();
    dataTlsReady_ = std::move(ready);
    if (data_.Tls()) return; // under way: `ready` runs when it ends
    const uint64_t serial = transferSerial_;
    data_.OnTlsDone = [this, serial](int error) {
        if (serial != transferSerial_) return;
        auto ready = std::exchange(dataTlsReady_, nullptr);
        if (error == 0) {
            if (!data_.Tls()->SessionReused()) Display("! TLS session of the data connection not resumed");
            if (ready) ready();
            return;
        }
        Display("! TLS on the data connection failed: " + data_.Tls()->Error());
        if (transferError_ == 0) transferError_ = kLocalAbort;
        CloseLocalFile();
        CloseDataSocket();
    };
    data_.StartTls(HostName, &control_);
}

void TCustomFtpClient::ReceiveData() {
    if (ProgressAborts()) return;
    char buffer[kReceiveSize];
    int count = data_.Receive(buffer, sizeof buffer);
    if (count > 0) {
        byteCount_ += count;
        if (byteCount_ > MaxListingBytes) {
            Display("! Listing longer than " + std::to_string(MaxListingBytes) + " bytes");
            return ListingRefused();
        }
        if (DisplayFileFlag) {
            if (OnDisplayFile) OnDisplayFile(std::string(buffer, static_cast<size_t>(count)));
        } else if (!localFile_ || std::fwrite(buffer, 1, static_cast<size_t>(count), localFile_) !=
                                      static_cast<size_t>(count)) {
            Display("! Error writing local file");
            if (transferError_ == 0) transferError_ = kLocalWriteFailure;
            data_.ShutDown(2);
        }
    } else if (count < 0 && data_.LastError() != wsa::WouldBlock && data_.State() == wsConnected) {
        Display("! Data: Receive error " + std::to_string(data_.LastError()));
        if (transferError_ == 0) transferError_ = data_.LastError();
        data_.ShutDown(2);
    }
}

void TCustomFtpClient::ReceiveClosed(int error) {
    if (localFile_ && std::fclose(localFile_) != 0 && transferError_ == 0)
        transferError_ = kLocalWriteFailure;
    localFile_ = nullptr;
    dataClosed_ = true;
    if (transferError_ == 0) transferError_ = error;
    if (transferConfirmed_) TransferEnded();
}

// ---- uploading ----------------------------------------------------------------------------------

void TCustomFtpClient::StartPut() {
    if (!Connected()) throw FtpException("STOR/APPE: not connected");
    if (LocalFileName.empty()) throw FtpException("LocalFileName empty");
    if (!sequenceRunning_) {
        requestType_ = ftpPutAsync;
        ++requestSerial_;
    }
    requestDone_ = false;
    errorMessage_.clear();
    dataCommand_ = "STOR";
    bool cancel = false;
    if (OnReadyToTransmit) OnReadyToTransmit(cancel);
    if (cancel) {
        errorMessage_ = "426 Transmit cancelled by application";
        statusCode_ = 426;
        Display("! " + errorMessage_);
        TriggerRequestDone(426);
        return;
    }
    data_.OnSessionAvailable = [this](int) { UploadAcceptor(); };
    localFile_ = std::fopen(LocalFileName.c_str(), "rb");
    if (!localFile_) {
        errorMessage_ = "426 Unable to open local file " + LocalFileName;
        statusCode_ = 426;
        Display("! " + errorMessage_);
        CloseDataSocket();
        TriggerRequestDone(426);
        return;
    }
    next_ = &TCustomFtpClient::PutFirstReply;
    done_ = nullptr;
    if (passive_) {
        // In passive mode STOR goes out only once the data connection stands.
        OpenPassiveDataConnection(true, [this] {
            data_.OnSessionClosed = [this](int error) { UploadClosed(error); };
            auto store = [this] {
                connectionOpen_ = true;
                startTime_ = std::chrono::steady_clock::now();
                startTaken_ = true;
                SetState(ftpWaitingResponse);
                SendCommand("STOR " + HostFileName);
            };
            store();
            if (protP_ && DataTlsFirst) StartDataTls([] {});
        });
        return;
    }
    SetState(ftpWaitingResponse);
    SendCommand("STOR " + HostFileName);
}

void TCustomFtpClient::PutFirstReply() {
    Display("< " + lastResponse_);
    int code = ParseReplyCode(lastResponse_).code;
    statusCode_ = code;
    if (code == 150 || code == 125) {
        replyReceived_ = true;
        next_ = &TCustomFtpClient::PutFinalReply;
        if (passive_) {
            StartDataTls([this] {
                data_.OnDataSent = [this](int error) { ChunkSender(error); };
                ChunkSender(0);
            });
        } else if (connectionOpen_ && !startTaken_) {
            PostSendData();
        }
        return;
    }
    errorMessage_ = lastResponse_;
    CloseDataSocket();
    CloseLocalFile();
    TriggerRequestDone(code);
}

void TCustomFtpClient::PutFinalReply() {
    TransferFinalReply({226, 250}, "! STOR Failed");
}

// Active mode: the upload starts only when both the server's connection and its 125/150 reply
// have arrived; whichever is second posts the start.
void TCustomFtpClient::UploadAcceptor() {
    if (!AdoptAcceptedConnection()) return;
    data_.OnSessionClosed = [this](int error) { UploadClosed(error); };
    data_.OnDataAvailable = [this](int) {
        char discard[2048];
        data_.Receive(discard, sizeof discard);
    };
    data_.ComponentOptions = wsoNoReceiveLoop;
    if (protP_) data_.HoldInput();
    if (data_.SendBufferSize() < 0) throw FtpException("winsock.getsockopt(SO_SNDBUF) failed");
    data_.LingerOnOff = wsLingerOff;
    data_.LingerTimeout = 10;
    data_.SetLingerOption();
    connectionOpen_ = true;
    if (replyReceived_ && !startTaken_) PostSendData();
}

void TCustomFtpClient::PostSendData() {
    uint64_t serial = transferSerial_;
    Post([this, serial] {
        if (serial != transferSerial_ || startTaken_) return;
        startTime_ = std::chrono::steady_clock::now();
        startTaken_ = true;
        StartDataTls([this] {
            data_.OnDataSent = [this](int error) { ChunkSender(error); };
            ChunkSender(0);
        });
    });
}

// One chunk per "sent" notification, straight from the file.
void TCustomFtpClient::ChunkSender(int error) {
    if (!localFile_ || ProgressAborts()) return;
    if (error != 0) {
        Display("! Error #" + std::to_string(error) + " sending data");
        if (transferError_ == 0) transferError_ = error;
        CloseDataSocket();
        return;
    }
    if (endOfFile_ || !replyReceived_ || !connectionOpen_) return;
    chunk_.resize(kChunkSize);
    size_t count = std::fread(chunk_.data(), 1, chunk_.size(), localFile_);
    if (count == 0 && std::ferror(localFile_)) {
        Display("! Error reading file");
        if (transferError_ == 0) transferError_ = kLocalAbort;
        CloseDataSocket();
        return;
    }
    if (count == 0) return EndOfFile();
    byteCount_ += static_cast<int64_t>(count);
    data_.Send(chunk_.data(), static_cast<int>(count));
}

// The data connection closes once the last byte has gone out (a delayed close waits for the send
// queue). An optional pause before that runs on a timer, never blocking the event loop.
void TCustomFtpClient::EndOfFile() {
    endOfFile_ = true;
    uint64_t serial = transferSerial_;
    auto close = [this, serial] {
        if (serial == transferSerial_) data_.CloseDelayed();
    };
    if (EndOfFileDelayMs <= 0) return close();
    QTimer::singleShot(EndOfFileDelayMs, this, close);
}

void TCustomFtpClient::UploadClosed(int error) {
    CloseLocalFile();
    dataClosed_ = true;
    if (transferError_ == 0) transferError_ = error;
    if (transferConfirmed_) TransferEnded();
}

bool TCustomFtpClient::ProgressAborts() {
    bool abort = false;
    if (OnProgress) OnProgress(byteCount_, abort);
    ProgressMade();
    if (!abort) return false;
    Display("! Abort requested");
    if (transferError_ == 0) transferError_ = kLocalAbort;
    CloseDataSocket();
    return true;
}

void TCustomFtpClient::TransferEnded() {
    auto stop = std::chrono::steady_clock::now();
    int64_t ms =
        startTaken_ ? std::chrono::duration_cast<std::chrono::milliseconds>(stop - startTime_).count() : 0;
    std::string line = "! " + std::to_string(byteCount_) + " bytes received/sent in " +
                       std::to_string(ms / 1000) + " seconds";
    if (ms > 0) {
        int64_t rate = byteCount_ < 32768 ? byteCount_ * 1000 / ms : byteCount_ / ms * 1000;
        line += " (" + std::to_string(rate) + " Bytes/sec)";
    }
    Display(line);
    TriggerRequestDone(transferError_);
}

} // namespace vistrel
