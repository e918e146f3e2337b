// Data connections of the FTP client: PORT/PASV set-up, uploads (STOR) and listings. A transfer
// completes only when both the server's final reply and the closing of the data connection have
// happened; the steps Transfer, TransferClosed and TransferConfirmed tell which is still to come.
#include "publishing/custom_ftp_client.h"

#include "net/socket_errors.h"
#include "net/tls_layer.h"

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

void TCustomFtpClient::CloseDataSocket() {
    if (data_.State() != wsClosed) data_.Close();
}

void TCustomFtpClient::CloseLocalFile() {
    if (localFile_) std::fclose(localFile_);
    localFile_ = nullptr;
}

// An upload reads its file, a listing writes it; a file that cannot be opened fails the request
// before anything is sent.
bool TCustomFtpClient::OpenLocalFile() {
    localFile_ = std::fopen(LocalFileName.c_str(), Uploading() ? "rb" : "wb");
    if (localFile_) return true;
    if (Uploading()) {
        statusCode_ = 426;
        Fail(426, "426 Unable to open local file " + LocalFileName);
    } else {
        lastResponse_ = "Unable to open local file " + LocalFileName;
        statusCode_ = 550;
        Fail(550, lastResponse_);
    }
    return false;
}

void TCustomFtpClient::StartDataSetup() {
    CloseDataSocket();
    data_.OnSessionAvailable = nullptr;
    data_.OnSessionConnected = nullptr;
    data_.OnDataAvailable = nullptr;
    data_.OnDataSent = nullptr;
    data_.OnSessionClosed = nullptr;
    data_.SetProto("tcp");
    data_.ComponentOptions = 0;
    transferError_ = 0;
    byteCount_ = 0;
    ++transferSerial_;
    if (!OpenLocalFile()) return;
    if (passive_) return Send(TFtpStep::Pasv, "PASV");
    ListenForData();
}

// The listening socket is bound to the control connection's local address rather than to every
// interface: that is the address PORT names, and nothing else needs to reach it. Many servers
// (pyftpdlib among them) connect before they answer PORT.
void TCustomFtpClient::ListenForData() {
    data_.OnSessionAvailable = [this](int) { DataAccepted(); };
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
    Send(TFtpStep::Port,
         "PORT " + PortArgument(control_.Addr() == "127.0.0.1" ? "127.0.0.1" : localAddress, port));
}

// The data connection always goes to the server of the control connection: a server behind NAT
// names its inside address, and a hostile one could name a third host (FTP bounce).
void TCustomFtpClient::PasvReply() {
    TPasvAddress address;
    try {
        address = ParsePasvReply(lastResponse_);
    } catch (const FtpException& e) {
        Fail(statusCode_, e.what());
        return control_.Close();
    }
    std::string host;
    int peerPort = 0;
    if (!control_.GetPeerName(host, peerPort)) host = control_.Addr();
    if (host != address.host) Display("! PASV names " + address.host + ", connecting to " + host);
    data_.SetAddr(host);
    data_.SetPort(std::to_string(address.port));
    data_.SetLocalAddr(Config.LocalAddr);
    data_.LingerOnOff = wsLingerOff;
    data_.LingerTimeout = 0;
    data_.OnSessionConnected = [this](int error) { DataConnected(error); };
    try {
        data_.Connect();
    } catch (const ESocketException& e) {
        int code = Uploading() ? 426 : 550;
        lastResponse_ = std::to_string(code) + " ESocketException: " + e.what();
        statusCode_ = code;
        return Fail(code, lastResponse_);
    }
    // The command goes out while the connection is being made: that saves a round trip per file,
    // and the server waits for the connection it announced anyway.
    SendDataCommand();
}

// The replies may come before the connection's event: even the 226 of a short listing.
void TCustomFtpClient::DataConnected(int error) {
    const bool replied = step_ == TFtpStep::DataWait || step_ == TFtpStep::TransferConfirmed;
    if (step_ != TFtpStep::DataCommand && !replied) return;
    if (error != 0) {
        lastResponse_ = "Unable to establish data connection, error #" + std::to_string(error);
        statusCode_ = 550;
        Fail(550, lastResponse_);
        // The server still owes the reply to a command that is out; a new session starts clean.
        return control_.Close();
    }
    WireDataConnection();
    if (replied || (protP_ && Config.DataTlsFirst && Uploading())) StartDataTlsOrTransfer();
}

void TCustomFtpClient::WireDataConnection() {
    data_.ComponentOptions = wsoNoReceiveLoop;
    data_.OnSessionClosed = [this](int error) { DataClosed(error); };
    if (Uploading()) {
        data_.OnDataAvailable = [this](int) {
            char discard[2048];
            data_.Receive(discard, sizeof discard);
        };
    } else {
        data_.OnDataAvailable = [this](int) { ReceiveData(); };
    }
    // With PROT P the first bytes belong to the TLS handshake.
    if (protP_) data_.HoldInput();
}

// Active mode: the server's connection replaces the listening socket. It may come before the
// PORT reply, before the 125/150 reply or after it; only after it does the transfer start.
void TCustomFtpClient::DataAccepted() {
    int handle = data_.Accept();
    if (handle < 0) return;
    data_.OnSessionClosed = nullptr;
    data_.Close();
    data_.Dup(handle);
    if (step_ == TFtpStep::Stop) return data_.Close();
    WireDataConnection();
    if (Uploading()) {
        data_.LingerOnOff = wsLingerOff;
        data_.LingerTimeout = 10;
        data_.SetLingerOption();
    }
    if (step_ == TFtpStep::DataWait || step_ == TFtpStep::TransferConfirmed) StartDataTlsOrTransfer();
}

void TCustomFtpClient::SendDataCommand() {
    if (Uploading()) return Send(TFtpStep::DataCommand, "STOR " + HostFileName);
    Send(TFtpStep::DataCommand, HostFileName.empty() ? ListCommand : ListCommand + " " + HostFileName);
    StartListingClock();
}

// 125 or 150 (a listing may answer 151 to 159 too): the server has taken the command. The
// transfer starts once the data connection stands (and, with PROT P, is encrypted).
void TCustomFtpClient::DataCommandAccepted() {
    const int code = statusCode_;
    if (!(code == 125 || code == 150 || (!Uploading() && code > 150 && code <= 159))) return Refused();
    SetStep(TFtpStep::DataWait);
    if (data_.State() == wsConnected) StartDataTlsOrTransfer();
}

// With PROT P the data connection is encrypted first, offering the control connection's session
// again. Its handshake starts after the 150 reply (unless Config.DataTlsFirst): the server has then taken
// the command and expects it; some servers drop a handshake that comes earlier.
void TCustomFtpClient::StartDataTlsOrTransfer() {
    if (!protP_ || (data_.Tls() && data_.Tls()->Established())) return StartTransfer();
    if (data_.Tls()) return; // under way: DataTlsDone goes on
    const uint64_t serial = transferSerial_;
    data_.OnTlsDone = [this, serial](int error) {
        if (serial == transferSerial_) DataTlsDone(error);
    };
    KeepTickets(control_.TakeTlsTickets());
    TTlsSession offer = control_.TlsSession(); // a TLS 1.2 session may be resumed again and again
    if (!tickets_.empty()) {
        offer = tickets_.back();
        tickets_.pop_back();
    }
    data_.StartTls(Config.HostName, offer);
}

// A few are enough; the oldest go first.
void TCustomFtpClient::KeepTickets(std::vector<TTlsSession> tickets) {
    constexpr size_t kMaxTickets = 8;
    for (TTlsSession& ticket : tickets)
        tickets_.push_back(std::move(ticket));
    if (tickets_.size() > kMaxTickets) tickets_.erase(tickets_.begin(), tickets_.end() - kMaxTickets);
}

void TCustomFtpClient::DataTlsDone(int error) {
    if (error != 0)
        return TransferFault(kLocalAbort, "TLS on the data connection failed: " + data_.Tls()->Error());
    if (!data_.Tls()->SessionReused()) Display("! TLS session of the data connection not resumed");
    if (step_ == TFtpStep::DataWait || step_ == TFtpStep::TransferConfirmed) StartTransfer();
}

void TCustomFtpClient::StartTransfer() {
    startTime_ = std::chrono::steady_clock::now();
    if (step_ == TFtpStep::DataWait) SetStep(TFtpStep::Transfer);
    if (!Uploading()) return;
    data_.OnDataSent = [this](int error) { SendChunk(error); };
    SendChunk(0);
}

// The reply after a transfer: a success code confirms it (the request ends once the data
// connection has closed too); anything else fails the request at once. A preliminary reply that
// comes after the data connection closed is only shown.
void TCustomFtpClient::FinalReply() {
    if (statusCode_ < 200) return;
    if (statusCode_ != 226 && statusCode_ != 250) return Refused();
    if (step_ == TFtpStep::TransferClosed) return EndTransfer();
    SetStep(TFtpStep::TransferConfirmed);
}

void TCustomFtpClient::DataClosed(int error) {
    KeepTickets(data_.TakeTlsTickets());
    if (step_ == TFtpStep::Stop) return;
    if (!Uploading()) {
        if (localFile_ && std::fclose(localFile_) != 0 && transferError_ == 0)
            transferError_ = kLocalWriteFailure;
        localFile_ = nullptr;
    } else if (localFile_) {
        // The file is closed at its end: a connection that closes before has not taken all of it.
        Display("! Data connection closed before the whole file was sent");
        CloseLocalFile();
        if (transferError_ == 0) transferError_ = kLocalAbort;
    }
    if (transferError_ == 0) transferError_ = error;
    switch (step_) {
    case TFtpStep::TransferConfirmed:
        return EndTransfer();
    case TFtpStep::DataCommand:
    case TFtpStep::DataWait:
    case TFtpStep::Transfer:
        return SetStep(TFtpStep::TransferClosed);
    default:
        return;
    }
}

void TCustomFtpClient::EndTransfer() {
    auto stop = std::chrono::steady_clock::now();
    int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(stop - startTime_).count();
    std::string line = "! " + std::to_string(byteCount_) + " bytes received/sent in " +
                       std::to_string(ms / 1000) + " seconds";
    if (ms > 0) {
        int64_t rate = byteCount_ < 32768 ? byteCount_ * 1000 / ms : byteCount_ / ms * 1000;
        line += " (" + std::to_string(rate) + " Bytes/sec)";
    }
    Display(line);
    Finish(transferError_);
}

// ---- receiving a listing ------------------------------------------------------------------------

// A listing is bounded in size and in time: a server that drips bytes or never ends the listing
// would otherwise hold the run, since every byte counts as progress.
void TCustomFtpClient::StartListingClock() {
    const uint64_t serial = transferSerial_;
    if (Config.ListingTimeLimitMs <= 0) return;
    QTimer::singleShot(Config.ListingTimeLimitMs, this, [this, serial] {
        if (serial != transferSerial_ || step_ == TFtpStep::Stop || Uploading()) return;
        ListingRefused("Listing not complete after " + std::to_string(Config.ListingTimeLimitMs / 1000) +
                       " seconds");
    });
}

void TCustomFtpClient::ListingRefused(const std::string& note) {
    Display("! " + note);
    errorMessage_ = "426 Listing refused";
    statusCode_ = 426;
    Finish(426);
}

void TCustomFtpClient::ReceiveData() {
    if (ProgressAborts()) return;
    char buffer[kReceiveSize];
    int count = data_.Receive(buffer, sizeof buffer);
    if (count > 0) {
        byteCount_ += count;
        if (byteCount_ > Config.MaxListingBytes)
            return ListingRefused("Listing longer than " + std::to_string(Config.MaxListingBytes) + " bytes");
        if (!localFile_ ||
            std::fwrite(buffer, 1, static_cast<size_t>(count), localFile_) != static_cast<size_t>(count))
            TransferFault(kLocalWriteFailure, "Error writing local file");
    } else if (count < 0 && data_.LastError() != wsa::WouldBlock && data_.State() == wsConnected) {
        TransferFault(data_.LastError(), "Data: Receive error " + std::to_string(data_.LastError()));
    }
}

// ---- uploading ----------------------------------------------------------------------------------

// One chunk per "sent" notification, straight from the file.
void TCustomFtpClient::SendChunk(int error) {
    if (!localFile_ || step_ == TFtpStep::Stop || ProgressAborts()) return;
    if (error != 0) return TransferFault(error, "Error #" + std::to_string(error) + " sending data");
    chunk_.resize(kChunkSize);
    size_t count = std::fread(chunk_.data(), 1, chunk_.size(), localFile_);
    if (count == 0 && std::ferror(localFile_)) return TransferFault(kLocalAbort, "Error reading file");
    if (count == 0) return EndOfFile();
    byteCount_ += static_cast<int64_t>(count);
    data_.Send(chunk_.data(), static_cast<int>(count));
}

// The data connection closes once the last byte has gone out (a delayed close waits for the send
// queue). An optional pause before that runs on a timer, never blocking the event loop.
void TCustomFtpClient::EndOfFile() {
    CloseLocalFile();
    const uint64_t serial = transferSerial_;
    auto close = [this, serial] {
        if (serial == transferSerial_) data_.CloseDelayed();
    };
    if (Config.EndOfFileDelayMs <= 0) return close();
    QTimer::singleShot(Config.EndOfFileDelayMs, this, close);
}

bool TCustomFtpClient::ProgressAborts() {
    bool abort = false;
    if (OnProgress) OnProgress(byteCount_, abort);
    ProgressMade();
    if (!abort) return false;
    TransferFault(kLocalAbort, "Abort requested");
    return true;
}

// The transfer cannot go on: the data connection closes and the server's final reply decides
// nothing any more; the request fails with `error`.
void TCustomFtpClient::TransferFault(int error, const std::string& note) {
    Display("! " + note);
    if (transferError_ == 0) transferError_ = error;
    CloseLocalFile();
    CloseDataSocket();
}

} // namespace vistrel
