#pragma once
// The SFTP adapter under the publish job: one SSH connection with its SFTP channel, standing in a
// folder of the server. SFTP has no current folder, so the adapter keeps it; an absolute remote
// root (one that starts with "/") makes the session start in the server's "/", any other in the
// login folder. Host keys are checked before any credential is offered; the login tries, in this
// order, the key file of the settings (its passphrase asked for), or without one ssh-agent and the
// unprotected default keys of ~/.ssh, then the password.
#include "publishing/remote_site.h"
#include "publishing/sftp_known_hosts.h"
#include "publishing/sftp_post_box.h"
#include "publishing/sftp_session.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace vistrel {

// What a session and its siblings settle once: the host key the user accepted and the secrets
// the user typed. Kept in memory for the run only.
struct TSftpSharedLogin {
    std::string acceptedFingerprint;
    std::string passphrase;
    std::string password;
};

class TSftpSite : public TRemoteSite {
public:
    explicit TSftpSite(TConnectionSettings settings, std::shared_ptr<TSftpSharedLogin> shared = {});
    ~TSftpSite() override;

    void SetEvents(TRemoteEvents events) override { events_ = std::move(events); }
    void SetTimeLimit(std::chrono::milliseconds limit) override;

    void Connect(TRemoteDone done) override;
    void LearnFeatures(TRemoteDone done) override;
    void PrepareTransfers(TRemoteDone done) override;
    void MakeFolder(const std::string& name, TRemoteDone done) override;
    void EnterFolder(const std::string& name, TRemoteDone done) override;
    void LeaveFolder(TRemoteDone done) override;
    void Put(const std::filesystem::path& localFile, const std::string& name, TRemoteDone done) override;
    size_t FilesAtOnce() const override;
    void PutFiles(std::vector<TPutItem> items, TPutEach each, TRemoteDone done) override;
    void List(TListingDetail detail, TListingDone done) override;
    void DeleteFile(const std::string& name, TRemoteDone done) override;
    void RemoveFolder(const std::string& name, TRemoteDone done) override;
    void Quit(TRemoteDone done) override;
    void Abort() override;

    bool Connected() const override;
    TRemoteSecurity Security() const override;
    std::string HostName() const override { return settings_.host; }
    int MaxSiblings() const override { return 3; }
    std::unique_ptr<TRemoteSite> OpenSibling() const override;

    // The folder the session stands in, as the server names it.
    const std::string& Folder() const { return folder_; }

private:
    // One way of logging in, tried in order.
    struct TAttempt {
        enum class TKind { Agent, Key, Password, KeyboardInteractive } kind;
        std::filesystem::path keyFile;
        bool configured = false; // the settings' key file: its passphrase is asked for
    };

    // Runs `task` on the session's worker; `after` turns its end into the request's result.
    void Work(std::function<void()> task, std::function<TRemoteResult(std::exception_ptr failure)> after,
              TRemoteDone done);
    bool Begin(TRemoteDone& done);
    void Complete(TRemoteDone& done, const TRemoteResult& result);
    void Post(std::function<void()> work);
    void Line(TRemoteLineKind kind, const std::string& text);
    TRemoteResult Failure(std::exception_ptr failure);
    TRemoteResult StatusResult(uint32_t status, const std::string& what);
    std::string PathOf(const std::string& name) const;
    std::vector<std::string> LevelsFrom(const std::string& path) const;
    void Completed(TRemoteDone done, TRemoteResult result);
    void ForgetFolder(const std::string& path);
    bool InSite(const std::string& path) const;
    void StatFolder(const std::string& path, TRemoteDone done);
    void SweepFolder(const std::string& path, TRemoteDone done);

    void AfterKeyExchange(const THostKey& key, TRemoteDone done);
    TRemoteResult CheckTrust(const THostKey& key);
    void Probe(TRemoteDone done);
    void PlanLogin(const TAuthMethods& methods);
    void NextLogin(TRemoteDone done);
    bool LoadConfiguredKey(const TAttempt& attempt);
    bool PasswordKnown();
    void OpenChannel(TRemoteDone done);
    void SessionEnded();

    TConnectionSettings settings_;
    std::shared_ptr<TSftpSharedLogin> shared_;
    bool sibling_;
    TRemoteEvents events_;
    int stallMs_ = 120000;
    std::unique_ptr<TSftpSession> session_;
    std::vector<TAttempt> attempts_;
    bool keyTried_ = false; // the settings' key was offered before the server named its methods
    std::string folder_;
    // Folders this session made or entered, and the folders above the site it found: they exist
    // and hold no leftover of a killed run that is ours to remove, so making or entering them
    // again needs no round trip.
    std::set<std::string> knownFolders_;
    // The remote root as the server names it: only there and below are leftovers looked for.
    std::string siteRoot_;
    bool busy_ = false;
    bool connected_ = false;
    std::unique_ptr<TPostBox> box_; // completions posted to it are dropped with the site
};

// The port of the settings as a number; 0 when it is not one.
int SftpPort(const TConnectionSettings& settings);

} // namespace vistrel
