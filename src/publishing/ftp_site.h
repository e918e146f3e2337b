#pragma once
// The FTP and FTPS adapter of the remote site: everything of FTP lives here and in the client
// below it (reply codes, FEAT, MLSD/LIST/NLST listings, PASV/PORT, TLS and the certificate's trust).
#include "publishing/custom_ftp_client.h"
#include "publishing/remote_site.h"

#include <QObject>
#include <QTimer>

#include <memory>

class QTemporaryDir;

namespace vistrel {

class TFtpSite : public QObject, public TRemoteSite {
public:
    explicit TFtpSite(const TConnectionSettings& settings, QObject* parent = nullptr);
    ~TFtpSite() override;

    // The client itself, for its finer settings (EndOfFileDelayMs, ReplyTimeLimitMs) and tests.
    TCustomFtpClient& Client() { return client_; }
    // FEAT named MLST or MLSD: folders are listed by MLSD.
    bool ServerHasMlsd() const { return hasMlsd_; }

    void SetEvents(TRemoteEvents events) override { events_ = std::move(events); }
    void SetTimeLimit(std::chrono::milliseconds limit) override { limit_ = limit; }
    void Connect(TRemoteDone done) override;
    void LearnFeatures(TRemoteDone done) override;
    void PrepareTransfers(TRemoteDone done) override;
    void MakeFolder(const std::string& name, TRemoteDone done) override;
    void EnterFolder(const std::string& name, TRemoteDone done) override;
    void LeaveFolder(TRemoteDone done) override;
    void Put(const std::filesystem::path& localFile, const std::string& name, TRemoteDone done) override;
    void List(TListingDetail detail, TListingDone done) override;
    void DeleteFile(const std::string& name, TRemoteDone done) override;
    void RemoveFolder(const std::string& name, TRemoteDone done) override;
    void Quit(TRemoteDone done) override;
    void Abort() override;
    bool Connected() const override { return client_.Connected(); }
    TRemoteSecurity Security() const override;
    std::string HostName() const override { return client_.HostName; }
    int MaxSiblings() const override { return 3; }
    std::unique_ptr<TRemoteSite> OpenSibling() const override;

private:
    void Start(TRemoteDone done, void (TCustomFtpClient::*request)());
    void RequestDone(TFtpRequest request, int error);
    void Complete(TRemoteResult result);
    void StallExpired();
    TRemoteResult Classify(TFtpRequest request, int error) const;
    void ReadFeatures();
    void ListingReceived(const TRemoteResult& result, const std::string& command, const TListingDone& done);
    void AbortClient();
    void WireClient();

    TCustomFtpClient client_;
    TConnectionSettings settings_;
    TRemoteEvents events_;
    std::chrono::milliseconds limit_{0};
    QTimer stall_;
    TRemoteDone pending_; // the completion of the running request
    TFtpRequest pendingRequest_ = ftpNone;
    int staleDones_ = 0; // outcomes of aborted requests still on their way
    bool hasMlsd_ = false;
    // The running listing: what it lists into and for whom.
    std::unique_ptr<QTemporaryDir> listingDir_;
    std::string listingFile_;
    std::string listingCommand_;
};

} // namespace vistrel
