#include "publishing/ftp_site.h"
#include "publishing/sftp_site.h"

#include "common/line_file.h"
#include "publishing/remote_listing.h"

#include <QTemporaryDir>

#include <cctype>

namespace vistrel {

namespace {

// The FTP default when the port is left empty.
std::string PortOf(const TConnectionSettings& settings) {
    return settings.port.empty() ? std::string("ftp") : settings.port;
}

std::string UpperCase(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

TRemoteEntry EntryOf(const TListingLine& line) {
    TRemoteEntry entry;
    entry.name = line.name;
    entry.kind = line.kind == TListingEntry::File     ? TRemoteEntryKind::File
                 : line.kind == TListingEntry::Folder ? TRemoteEntryKind::Folder
                                                      : TRemoteEntryKind::Other;
    return entry;
}

} // namespace

TFtpSite::TFtpSite(const TConnectionSettings& settings, QObject* parent)
    : QObject(parent), settings_(settings) {
    client_.HostName = settings.host;
    client_.Port = PortOf(settings);
    client_.LocalAddr = "0.0.0.0";
    client_.UserName = settings.user;
    client_.PassWord = settings.password;
    client_.Binary = true;
    client_.Options = ftpAcceptLF;
    client_.SetPassive(settings.passive);
    client_.UseTls = settings.useTls;
    client_.RequireTls = settings.useTls && settings.requireTls;
    client_.TrustedFingerprint = settings.trustedFingerprint;
    stall_.setSingleShot(true);
    QObject::connect(&stall_, &QTimer::timeout, this, [this] { StallExpired(); });
    WireClient();
}

TFtpSite::~TFtpSite() {
    client_.OnDisplay = nullptr;
    client_.OnCommand = nullptr;
    client_.OnProgress = nullptr;
    client_.OnSessionConnected = nullptr;
    client_.OnSessionClosed = nullptr;
    client_.OnRequestDone = nullptr;
    client_.OnBackgroundException = nullptr;
    client_.OnUntrustedCertificate = nullptr;
    client_.Abort();
}

void TFtpSite::WireClient() {
    // Commands come through OnCommand; the echoes of the display are left out.
    client_.OnDisplay = [this](const std::string& message) {
        if (!events_.line || message.empty() || message[0] == '>') return;
        if (message[0] == '<')
            events_.line(TRemoteLineKind::Reply, message.substr(message.size() > 1 ? 2 : 1));
        else
            events_.line(TRemoteLineKind::Note, message);
    };
    client_.OnCommand = [this](std::string& command) {
        if (!events_.line) return;
        // PORT only carries our own address; STOR is a file's upload; the password never shows.
        if (command.rfind("PORT", 0) == 0) return;
        if (command.rfind("STOR", 0) == 0) return events_.line(TRemoteLineKind::Upload, command.substr(5));
        if (command.rfind("PASS", 0) == 0) return events_.line(TRemoteLineKind::Command, "PASS");
        events_.line(TRemoteLineKind::Command, command);
    };
    client_.OnProgress = [this](int64_t count, bool&) {
        if (stall_.isActive()) stall_.start();
        if (events_.progress) events_.progress(count);
    };
    client_.OnSessionConnected = [this](int) {
        if (events_.connection) events_.connection(true);
    };
    client_.OnSessionClosed = [this](int) {
        if (events_.connection) events_.connection(false);
    };
    client_.OnRequestDone = [this](TFtpRequest request, int error) { RequestDone(request, error); };
    client_.OnBackgroundException = [this](const std::exception& error, bool& canClose) {
        canClose = false;
        AbortClient();
        Complete({TRemoteFailure::ConnectionLost, 0, error.what(), {}});
    };
    // Once trusted, a reconnection and the siblings of this site do not ask again.
    client_.OnUntrustedCertificate = [this](const std::string& fingerprint, const std::string& reason) {
        if (!events_.trust) return false;
        TTrustQuestion question;
        question.hostPort = HostPort(settings_);
        question.fingerprint = fingerprint;
        question.reason = reason;
        bool trusted = events_.trust(question);
        if (trusted) client_.TrustedFingerprint = fingerprint;
        return trusted;
    };
}

// Starts a request under the time limit. A request the client refuses to start completes at once
// (posted) with what the refusal means.
void TFtpSite::Start(TRemoteDone done, void (TCustomFtpClient::*request)()) {
    if (pending_) {
        QMetaObject::invokeMethod(
            this,
            [done] {
                done({TRemoteFailure::Busy, 0, "another request is running", {}});
            },
            Qt::QueuedConnection);
        return;
    }
    pending_ = std::move(done);
    if (limit_.count() > 0) stall_.start(static_cast<int>(limit_.count()));
    try {
        (client_.*request)();
    } catch (const FtpException& error) {
        const std::string what = error.what();
        TRemoteFailure failure = what.find("not connected") != std::string::npos
                                     ? TRemoteFailure::ConnectionLost
                                 : what.find("not ready") != std::string::npos ? TRemoteFailure::Busy
                                                                               : TRemoteFailure::Refused;
        Complete({failure, 0, what, {}});
    }
}

void TFtpSite::Complete(TRemoteResult result) {
    stall_.stop();
    if (!pending_) return;
    TRemoteDone done = std::move(pending_);
    pending_ = nullptr;
    QMetaObject::invokeMethod(
        this, [done = std::move(done), result = std::move(result)] { done(result); }, Qt::QueuedConnection);
}

// A request that finished but whose outcome is still on its way through the event loop would
// otherwise complete the next request: that outcome is dropped when it comes.
void TFtpSite::AbortClient() {
    if (pending_ && client_.Step() == TFtpStep::Stop) ++staleDones_;
    client_.Abort();
}

void TFtpSite::StallExpired() {
    if (!pending_) return;
    AbortClient();
    Complete({TRemoteFailure::TimedOut, 426, "426 Timeout", {}});
}

void TFtpSite::RequestDone(TFtpRequest request, int error) {
    if (!pending_) return;
    if (staleDones_ > 0) {
        --staleDones_;
        return;
    }
    if (error == 0 && request == ftpQuoteAsync) ReadFeatures();
    Complete(Classify(request, error));
}

// What the client's outcome means, in the interface's words; the reply code goes along for the
// protocol window.
TRemoteResult TFtpSite::Classify(TFtpRequest request, int error) const {
    TRemoteResult result;
    result.code = error;
    if (error == 0) return result;
    result.detail = client_.ErrorMessage();
    if (request == ftpConnectAsync) {
        if (!client_.UntrustedFingerprint().empty()) {
            result.failure = TRemoteFailure::TrustRefused;
            result.fingerprint = client_.UntrustedFingerprint();
        } else if (client_.TlsRefused()) {
            result.failure = TRemoteFailure::EncryptionRefused;
        } else {
            result.failure = error == 530 ? TRemoteFailure::LoginRefused : TRemoteFailure::ConnectFailed;
        }
        return result;
    }
    if (request != ftpQuitAsync && !client_.Connected()) {
        result.failure = TRemoteFailure::ConnectionLost;
        return result;
    }
    result.failure = TRemoteFailure::Refused;
    if (request == ftpPutAsync && (error == 451 || error == 552)) result.failure = TRemoteFailure::NoSpace;
    // A STOR refused in passive mode: the data connection is what failed (firewalls, NAT).
    if (request == ftpPutAsync && error == 550 && client_.Passive())
        result.failure = TRemoteFailure::NoDataConnection;
    // FTP answers 550 for a folder that exists and for one that may not be made alike.
    if (request == ftpMkdAsync && error == 550) result.failure = TRemoteFailure::AlreadyExists;
    if ((request == ftpDeleAsync || request == ftpCwdAsync || request == ftpRmdAsync) && error == 550)
        result.failure = TRemoteFailure::NotFound;
    return result;
}

// RFC 3659: MLST implies MLSD, which gives exact names and kinds.
void TFtpSite::ReadFeatures() {
    for (const std::string& line : client_.LastReply().lines) {
        std::string feature = UpperCase(line);
        feature.erase(0, feature.find_first_not_of(' '));
        if (feature.rfind("MLST", 0) == 0 || feature.rfind("MLSD", 0) == 0) hasMlsd_ = true;
    }
}

void TFtpSite::Connect(TRemoteDone done) {
    Start(std::move(done), &TCustomFtpClient::ConnectAsync);
}

void TFtpSite::LearnFeatures(TRemoteDone done) {
    Start(std::move(done), &TCustomFtpClient::FeatAsync);
}

void TFtpSite::PrepareTransfers(TRemoteDone done) {
    client_.Binary = true;
    Start(std::move(done), &TCustomFtpClient::TypeSetAsync);
}

void TFtpSite::MakeFolder(const std::string& name, TRemoteDone done) {
    client_.HostFileName = name;
    Start(std::move(done), &TCustomFtpClient::MkdAsync);
}

void TFtpSite::EnterFolder(const std::string& name, TRemoteDone done) {
    client_.HostDirName = name;
    Start(std::move(done), &TCustomFtpClient::CwdAsync);
}

void TFtpSite::LeaveFolder(TRemoteDone done) {
    Start(std::move(done), &TCustomFtpClient::CDupAsync);
}

void TFtpSite::Put(const std::filesystem::path& localFile, const std::string& name, TRemoteDone done) {
    client_.LocalFileName = localFile.string();
    client_.HostFileName = name;
    Start(std::move(done), &TCustomFtpClient::PutAsync);
}

void TFtpSite::DeleteFile(const std::string& name, TRemoteDone done) {
    client_.HostFileName = name;
    Start(std::move(done), &TCustomFtpClient::DeleAsync);
}

void TFtpSite::RemoveFolder(const std::string& name, TRemoteDone done) {
    client_.HostFileName = name;
    Start(std::move(done), &TCustomFtpClient::RmdAsync);
}

void TFtpSite::Quit(TRemoteDone done) {
    Start(std::move(done), &TCustomFtpClient::QuitAsync);
}

void TFtpSite::Abort() {
    AbortClient();
    Complete({TRemoteFailure::Cancelled, 426, "426 Operation aborted.", {}});
}

TRemoteSecurity TFtpSite::Security() const {
    if (!client_.Encrypted()) return {};
    return {true, client_.TlsVersion()};
}

std::unique_ptr<TRemoteSite> TFtpSite::OpenSibling() const {
    TConnectionSettings settings = settings_;
    settings.password = client_.PassWord;
    // Whatever this session settled about the certificate holds for the sibling.
    settings.trustedFingerprint = client_.TrustedFingerprint;
    auto sibling = std::make_unique<TFtpSite>(settings);
    sibling->client_.Options = client_.Options;
    sibling->client_.EndOfFileDelayMs = client_.EndOfFileDelayMs;
    sibling->client_.ReplyTimeLimitMs = client_.ReplyTimeLimitMs;
    sibling->client_.DataTlsFirst = client_.DataTlsFirst;
    sibling->limit_ = limit_;
    return sibling;
}

// ---- listings -----------------------------------------------------------------------------------

// Listings go over the data connection the settings choose, like every transfer: a PORT listing
// fails behind NAT and most firewalls. MLSD where the server offers it; else a names listing is a
// plain NLST and a listing with kinds is LIST -a, whose Unix long format shows hidden files.
void TFtpSite::List(TListingDetail detail, TListingDone done) {
    if (!listingDir_) listingDir_ = std::make_unique<QTemporaryDir>();
    listingFile_ = listingDir_->isValid()
                       ? listingDir_->filePath(QStringLiteral("filelist.$$$")).toStdString()
                       : "filelist.$$$";
    listingCommand_ = hasMlsd_ ? "MLSD" : detail == TListingDetail::Names ? "NLST" : "LIST";
    client_.ListCommand = listingCommand_;
    client_.HostFileName = listingCommand_ == "LIST" ? "-a" : "";
    client_.LocalFileName = listingFile_;
    Start([this, done = std::move(done), command = listingCommand_](
              const TRemoteResult& result) { ListingReceived(result, command, done); },
          &TCustomFtpClient::LsAsync);
}

void TFtpSite::ListingReceived(const TRemoteResult& received, const std::string& command,
                               const TListingDone& done) {
    client_.ListCommand = "NLST";
    if (!received.Ok()) return done(received, {});
    std::vector<TRemoteEntry> entries;
    std::vector<std::string> lines;
    TRemoteResult result = received;
    if (!ReadLineFile(listingFile_, lines)) {
        result.failure = TRemoteFailure::Refused;
        result.detail = "the listing could not be read";
    }
    std::error_code ec;
    std::filesystem::remove(listingFile_, ec);
    if (result.Ok()) {
        for (const std::string& line : lines) {
            if (command == "MLSD")
                entries.push_back(EntryOf(ParseMlsdLine(line)));
            else if (command == "LIST")
                entries.push_back(EntryOf(ParseUnixListLine(line)));
            else
                entries.push_back({NlstName(line), TRemoteEntryKind::Unknown, -1});
        }
    }
    done(result, std::move(entries));
}

std::unique_ptr<TRemoteSite> OpenRemoteSite(const TConnectionSettings& settings) {
    if (settings.protocol == TRemoteProtocol::Sftp) return std::make_unique<TSftpSite>(settings);
    return std::make_unique<TFtpSite>(settings);
}

} // namespace vistrel
