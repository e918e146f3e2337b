#pragma once
// A remote site in memory for the publish job's tests: a folder tree of files, a transcript of the
// requests, and switches for the faults a server shows. Its sessions keep the completion rules of
// every adapter (posted, exactly once), so the job runs through it as through a real server.
#include "publishing/remote_site.h"

#include <QObject>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace vistrel::testing {

// The server: shared by a site and its siblings.
struct TFakeServer {
    std::map<std::string, std::string> files; // "web/Urlaub/a.jpg" -> bytes
    std::set<std::string> folders;            // "web", "web/Urlaub"
    // Every request as "verb argument" ("mkd web", "put a.jpg", "list"), in order, of all sessions.
    std::vector<std::string> transcript;

    // Fault switches.
    std::set<std::string> refuse;     // verbs refused with Refused ("cwd", "put", "mkd", ...)
    bool refuseLogin = false;         // the login is refused
    bool noSpace = false;             // every upload fails for want of space
    bool listError = false;           // every listing fails
    int loseConnectionAfterPuts = -1; // the connection breaks instead of confirming this upload
    bool goneAfterLoss = false;       // after a loss nobody can connect any more
    bool gone = false;                // nobody can connect
    int maxSiblings = 3;
    size_t filesAtOnce = 1; // above 1 the job sends in batches (PutFiles), one file after the other
    // Called as an upload is confirmed, with the number of confirmed uploads so far.
    std::function<void(int confirmed)> onConfirmed;

    int confirmed = 0; // uploads confirmed
    int logins = 0;

    std::vector<std::string> Requests(const std::string& verb) const;
};

class TFakeRemoteSite : public QObject, public TRemoteSite {
public:
    TFakeRemoteSite(std::shared_ptr<TFakeServer> server, TConnectionSettings settings);
    ~TFakeRemoteSite() override;

    void SetEvents(TRemoteEvents events) override { events_ = std::move(events); }
    void SetTimeLimit(std::chrono::milliseconds) override {}
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
    bool Connected() const override { return connected_; }
    TRemoteSecurity Security() const override { return {true, "fake"}; }
    std::string HostName() const override { return settings_.host; }
    int MaxSiblings() const override { return server_->maxSiblings; }
    size_t FilesAtOnce() const override { return server_->filesAtOnce; }
    std::unique_ptr<TRemoteSite> OpenSibling() const override;

private:
    // Runs `work` for the request `verb argument` and posts its result; the checks every request
    // shares (busy, connected, refused) come first.
    void Request(const std::string& verb, const std::string& argument, TRemoteDone done,
                 const std::function<TRemoteResult()>& work);
    void Post(std::function<void()> call);
    void Lose();
    std::string Here() const;
    std::string PathOf(const std::string& name) const;

    std::shared_ptr<TFakeServer> server_;
    TConnectionSettings settings_;
    TRemoteEvents events_;
    std::vector<std::string> folder_; // the current folder below the login folder
    bool connected_ = false;
    bool busy_ = false;
    uint64_t generation_ = 0; // Abort makes completions of older requests Cancelled
};

} // namespace vistrel::testing
