#include "publishing/sftp_site.h"

#include "common/atomic_file.h"
#include "common/cp1252.h"
#include "publishing/remote_listing.h"
#include "publishing/sftp_channel.h"
#include "publishing/sftp_error.h"
#include "publishing/upload_plan.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace vistrel {

namespace {

constexpr int kPassphraseTries = 3;
// Files on their way at once in PutFiles. A small file waits three round trips (open, then write
// and close, then rename), and the server queue of writes adds to that; the files on their way
// over that time are what a link carries. (1,000 files of 20 KB over 25 ms each way: 6.2 s with
// 64 on their way, 4.2 s with 256, some 0.2 s less again with 512, which also makes them one
// batch.) A server that names its limit of open files gets at most half of it.
constexpr size_t kFilesAtOnce = 512;
// Status codes of later protocol versions that some servers send anyway.
constexpr uint32_t kNoSpaceOnFilesystem = 14;
constexpr uint32_t kQuotaExceeded = 15;

std::filesystem::path UserSshFile(const char* name) {
    const char* home = std::getenv("HOME");
    if (!home || !*home) return {};
    return std::filesystem::path(home) / ".ssh" / name;
}

std::vector<std::filesystem::path> KnownHostsFiles(const TConnectionSettings& settings) {
    std::vector<std::filesystem::path> files;
    if (!settings.knownHostsFile.empty()) files.push_back(settings.knownHostsFile);
    const auto user = UserSshFile("known_hosts");
    if (!user.empty()) files.push_back(user);
    return files;
}

bool Mentions(const std::string& text, const char* word) {
    std::string lower = text;
    for (char& c : lower)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return lower.find(word) != std::string::npos;
}

TRemoteEntryKind KindOf(const TSftpName& entry) {
    if (!entry.hasPermissions) return TRemoteEntryKind::Unknown;
    if (entry.IsFolder()) return TRemoteEntryKind::Folder;
    if ((entry.permissions & 0170000) == 0100000) return TRemoteEntryKind::File;
    return TRemoteEntryKind::Other;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// The remote root as the server will name it once the job entered it part by part from `start`.
std::string SiteRootFrom(const std::string& start, const std::string& remoteRoot) {
    std::string path = start;
    for (const std::string& part : RemoteFolderParts(remoteRoot))
        path = JoinPath(path, part);
    return path;
}

} // namespace

int SftpPort(const TConnectionSettings& settings) {
    if (settings.port.empty() || settings.port == "ftp" || settings.port == "ssh") return 22;
    int port = 0;
    for (char c : settings.port) {
        if (c < '0' || c > '9' || port > 65535) return 0;
        port = port * 10 + (c - '0');
    }
    return port > 0 && port <= 65535 ? port : 0;
}

TSftpSite::TSftpSite(TConnectionSettings settings, std::shared_ptr<TSftpSharedLogin> shared)
    : settings_(std::move(settings)), shared_(shared ? shared : std::make_shared<TSftpSharedLogin>()),
      sibling_(shared != nullptr), box_(std::make_unique<TPostBox>()) {}

TSftpSite::~TSftpSite() {
    box_.reset();
    session_.reset();
}

void TSftpSite::SetTimeLimit(std::chrono::milliseconds limit) {
    stallMs_ = int(limit.count());
    if (session_) session_->SetStallMs(stallMs_);
}

void TSftpSite::Post(std::function<void()> work) {
    box_->Post(std::move(work));
}

bool TSftpSite::Begin(TRemoteDone& done) {
    if (busy_) {
        Post([done] { done({TRemoteFailure::Busy, 0, "another request is running", {}}); });
        return false;
    }
    busy_ = true;
    return true;
}

void TSftpSite::Complete(TRemoteDone& done, const TRemoteResult& result) {
    busy_ = false;
    // Last: the completion may start the next request or destroy the site.
    done(result);
}

void TSftpSite::Line(TRemoteLineKind kind, const std::string& text) {
    if (events_.line) events_.line(kind, text);
}

// A removed folder and everything below it are no longer known.
void TSftpSite::ForgetFolder(const std::string& path) {
    auto below = knownFolders_.lower_bound(path + "/");
    while (below != knownFolders_.end() && below->compare(0, path.size() + 1, path + "/") == 0)
        below = knownFolders_.erase(below);
    knownFolders_.erase(path);
}

// Completes through the event loop, without a request to the server.
void TSftpSite::Completed(TRemoteDone done, TRemoteResult result) {
    Post([this, done, result]() mutable { Complete(done, result); });
}

std::string TSftpSite::PathOf(const std::string& name) const {
    return JoinPath(folder_, name);
}

bool TSftpSite::InSite(const std::string& path) const {
    return siteRoot_ == "/" || path == siteRoot_ || path.rfind(siteRoot_ + "/", 0) == 0;
}

void TSftpSite::Work(std::function<void()> task,
                     std::function<TRemoteResult(std::exception_ptr failure)> after, TRemoteDone done) {
    if (!session_ || !connected_) {
        return Completed(done, {TRemoteFailure::ConnectionLost, 0, "not connected", {}});
    }
    session_->Begin([task = std::move(task)](const TSftpSession::TPost&) { task(); },
                    [this, after = std::move(after), done](std::exception_ptr failure) mutable {
                        Complete(done, after(failure));
                    });
}

void TSftpSite::SessionEnded() {
    const bool was = connected_;
    connected_ = false;
    if (was && events_.connection) events_.connection(false);
}

TRemoteResult TSftpSite::Failure(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const ESftpError& error) {
        TRemoteResult result{TRemoteFailure::ConnectionLost, int(error.status()), error.what(), {}};
        switch (error.kind()) {
        case TSftpFailure::Connect:
            result.failure = TRemoteFailure::ConnectFailed;
            break;
        case TSftpFailure::TimedOut:
            result.failure = TRemoteFailure::TimedOut;
            break;
        case TSftpFailure::LoginRefused:
            result.failure = TRemoteFailure::LoginRefused;
            break;
        case TSftpFailure::Cancelled:
            result.failure = TRemoteFailure::Cancelled;
            break;
        case TSftpFailure::Status:
            return StatusResult(error.status(), error.what());
        case TSftpFailure::Lost:
        case TSftpFailure::Protocol:
            break;
        }
        SessionEnded();
        return result;
    } catch (const std::exception& error) {
        SessionEnded();
        return {TRemoteFailure::ConnectionLost, 0, error.what(), {}};
    }
}

TRemoteResult TSftpSite::StatusResult(uint32_t status, const std::string& what) {
    TRemoteResult result{TRemoteFailure::Refused, int(status), what, {}};
    if (status == sftp_status::Ok) result.failure = TRemoteFailure::None;
    if (status == sftp_status::NoSuchFile) result.failure = TRemoteFailure::NotFound;
    // OpenSSH says only "Failure" for a full disk; servers that say more are believed.
    if (status == kNoSpaceOnFilesystem || status == kQuotaExceeded || Mentions(what, "space") ||
        Mentions(what, "quota"))
        result.failure = TRemoteFailure::NoSpace;
    return result;
}

void TSftpSite::Connect(TRemoteDone done) {
    if (!Begin(done)) return;
    const int port = SftpPort(settings_);
    if (port == 0 || settings_.host.empty()) {
        return Completed(done, {TRemoteFailure::ConnectFailed, 0, "no valid host and port", {}});
    }
    session_ = std::make_unique<TSftpSession>(stallMs_);
    connected_ = false;
    knownFolders_.clear();
    const std::string name = KnownHostsName(settings_.host, port);
    const auto types = KnownKeyTypes(KnownHostsFiles(settings_), name);
    auto key = std::make_shared<THostKey>();
    TSftpSession* session = session_.get();
    session_->Begin([session, key, host = settings_.host, port, user = AnsiToUtf8(settings_.user), types](
                        const TSftpSession::TPost&) { *key = session->ConnectNow(host, port, user, types); },
                    [this, key, done](std::exception_ptr failure) mutable {
                        if (failure) {
                            TRemoteResult result = Failure(failure);
                            if (result.failure == TRemoteFailure::ConnectionLost)
                                result.failure = TRemoteFailure::ConnectFailed;
                            Complete(done, result);
                            return;
                        }
                        AfterKeyExchange(*key, done);
                    });
}

TRemoteResult TSftpSite::CheckTrust(const THostKey& key) {
    const int port = SftpPort(settings_);
    const std::string name = KnownHostsName(settings_.host, port);
    const std::string fingerprint = HostKeyFingerprint(key.blob);
    Line(TRemoteLineKind::Note, "! SSH host key " + key.type + " " + fingerprint);
    const THostKeyCheck check = CheckHostKey(KnownHostsFiles(settings_), name, key);
    const TRemoteResult refused{TRemoteFailure::TrustRefused, 0, "host key not trusted", fingerprint};
    if (check.status == THostKeyStatus::Trusted) {
        shared_->acceptedFingerprint = fingerprint;
        return {};
    }
    // A sibling never asks: it takes exactly the key its session accepted.
    if (sibling_) return fingerprint == shared_->acceptedFingerprint ? TRemoteResult{} : refused;
    if (check.status == THostKeyStatus::Revoked)
        return {TRemoteFailure::TrustRefused, 0, "host key revoked", fingerprint};
    TTrustQuestion question;
    question.kind = TTrustQuestion::TKind::HostKey;
    question.hostPort = HostPort(settings_);
    question.fingerprint = fingerprint;
    question.keyType = key.type;
    question.changed = check.status == THostKeyStatus::Changed;
    if (question.changed) {
        question.previousFingerprint = HostKeyFingerprint(check.known.blob);
        question.reason =
            "the host key differs from the one trusted before (" + question.previousFingerprint + ")";
    } else {
        question.reason = "unknown host key";
    }
    if (!events_.trust || !events_.trust(question)) {
        TRemoteResult result = refused;
        if (question.changed) result.detail = "host key changed from " + question.previousFingerprint;
        return result;
    }
    shared_->acceptedFingerprint = fingerprint;
    if (!settings_.knownHostsFile.empty()) {
        try {
            TrustHostKey(settings_.knownHostsFile, name, key);
        } catch (const EFileWriteError& error) {
            Line(TRemoteLineKind::Note, std::string("! known_hosts not written: ") + error.what());
        }
    }
    return {};
}

void TSftpSite::AfterKeyExchange(const THostKey& key, TRemoteDone done) {
    const TRemoteResult trust = CheckTrust(key);
    if (!trust.Ok()) {
        // Closed without a word more: no user name, key or password reaches this server.
        session_->Cancel();
        Complete(done, trust);
        return;
    }
    // A key file named in the settings goes first, without asking which methods the server
    // offers: a server that takes it lets us in a round trip sooner. It is read (its passphrase
    // asked for) once.
    keyTried_ = !settings_.keyFile.empty();
    if (keyTried_ && LoadConfiguredKey({TAttempt::TKind::Key, settings_.keyFile, true})) {
        Line(TRemoteLineKind::Command, "LOGIN key " + settings_.keyFile);
        auto in = std::make_shared<bool>(false);
        TSftpSession* session = session_.get();
        session_->Begin([session, in](const TSftpSession::TPost&) { *in = session->KeyNow(); },
                        [this, in, done](std::exception_ptr failure) mutable {
                            if (failure) return Complete(done, Failure(failure));
                            if (*in) return OpenChannel(done);
                            Probe(done);
                        });
        return;
    }
    Probe(done);
}

void TSftpSite::Probe(TRemoteDone done) {
    auto methods = std::make_shared<TAuthMethods>();
    TSftpSession* session = session_.get();
    session_->Begin([session, methods](const TSftpSession::TPost&) { *methods = session->ProbeNow(); },
                    [this, methods, done](std::exception_ptr failure) mutable {
                        if (failure) return Complete(done, Failure(failure));
                        if (session_->LoggedIn()) return OpenChannel(done);
                        PlanLogin(*methods);
                        NextLogin(done);
                    });
}

void TSftpSite::PlanLogin(const TAuthMethods& methods) {
    attempts_.clear();
    using TKind = TAttempt::TKind;
    if (methods.publicKey) {
        if (!settings_.keyFile.empty()) {
            if (!keyTried_) attempts_.push_back({TKind::Key, settings_.keyFile, true});
        } else {
            attempts_.push_back({TKind::Agent, {}, false});
            for (const char* name : {"id_ed25519", "id_ecdsa", "id_rsa"}) {
                const auto file = UserSshFile(name);
                std::error_code error;
                if (!file.empty() && std::filesystem::exists(file, error))
                    attempts_.push_back({TKind::Key, file, false});
            }
        }
    }
    if (methods.password) attempts_.push_back({TKind::Password, {}, false});
    if (methods.keyboardInteractive) attempts_.push_back({TKind::KeyboardInteractive, {}, false});
}

bool TSftpSite::LoadConfiguredKey(const TAttempt& attempt) {
    TKeyLoad load = session_->LoadKey(attempt.keyFile, shared_->passphrase);
    // A default key with a passphrase is passed over: the user named no key to unlock.
    for (int tries = 0; attempt.configured && load == TKeyLoad::NeedsPassphrase && tries < kPassphraseTries;
         ++tries) {
        std::string passphrase;
        if (sibling_ || !events_.secret || !events_.secret(attempt.keyFile.string(), passphrase)) break;
        load = session_->LoadKey(attempt.keyFile, passphrase);
        if (load == TKeyLoad::Loaded) shared_->passphrase = passphrase;
    }
    if (load == TKeyLoad::Unreadable && attempt.configured)
        Line(TRemoteLineKind::Note, "! key file cannot be read: " + attempt.keyFile.string());
    return load == TKeyLoad::Loaded;
}

bool TSftpSite::PasswordKnown() {
    if (!settings_.password.empty()) shared_->password = settings_.password;
    if (!shared_->password.empty()) return true;
    std::string password;
    if (sibling_ || !events_.secret || !events_.secret({}, password) || password.empty()) return false;
    shared_->password = password;
    return true;
}

void TSftpSite::NextLogin(TRemoteDone done) {
    if (attempts_.empty()) {
        session_->Cancel();
        return Complete(done, {TRemoteFailure::LoginRefused, 0, "no login method was accepted", {}});
    }
    const TAttempt attempt = attempts_.front();
    attempts_.erase(attempts_.begin());
    TSftpSession* session = session_.get();
    std::function<bool()> login;
    switch (attempt.kind) {
    case TAttempt::TKind::Agent:
        Line(TRemoteLineKind::Command, "LOGIN ssh-agent");
        login = [session] { return session->AgentNow(); };
        break;
    case TAttempt::TKind::Key:
        if (!LoadConfiguredKey(attempt)) return NextLogin(done);
        Line(TRemoteLineKind::Command, "LOGIN key " + attempt.keyFile.string());
        login = [session] { return session->KeyNow(); };
        break;
    case TAttempt::TKind::Password:
    case TAttempt::TKind::KeyboardInteractive: {
        if (!PasswordKnown()) return NextLogin(done);
        const bool plain = attempt.kind == TAttempt::TKind::Password;
        Line(TRemoteLineKind::Command, plain ? "LOGIN password" : "LOGIN keyboard-interactive");
        // SSH carries user names and passwords as UTF-8; the settings hold Windows-1252.
        login = [session, plain, password = AnsiToUtf8(shared_->password)] {
            return plain ? session->PasswordNow(password) : session->KeyboardNow(password);
        };
        break;
    }
    }
    auto in = std::make_shared<bool>(false);
    session_->Begin([login, in](const TSftpSession::TPost&) { *in = login(); },
                    [this, in, done](std::exception_ptr failure) mutable {
                        if (failure) return Complete(done, Failure(failure));
                        if (*in) return OpenChannel(done);
                        NextLogin(done);
                    });
}

void TSftpSite::OpenChannel(TRemoteDone done) {
    const bool absolute = !settings_.remoteRoot.empty() && settings_.remoteRoot[0] == '/';
    auto folder = std::make_shared<std::string>();
    TSftpSession* session = session_.get();
    session_->Begin(
        [session, folder, absolute](const TSftpSession::TPost&) {
            session->StartSftpNow();
            *folder = absolute ? "/" : session->Channel().RealPath(".");
        },
        [this, folder, done](std::exception_ptr failure) mutable {
            if (failure) return Complete(done, Failure(failure));
            folder_ = *folder;
            siteRoot_ = SiteRootFrom(folder_, settings_.remoteRoot);
            connected_ = true;
            Line(TRemoteLineKind::Note, "! SFTP in " + folder_);
            if (events_.connection) events_.connection(true);
            Complete(done, {});
        });
}

void TSftpSite::LearnFeatures(TRemoteDone done) {
    if (!Begin(done)) return;
    Completed(done, {});
}

void TSftpSite::PrepareTransfers(TRemoteDone done) {
    if (!Begin(done)) return;
    Completed(done, {});
}

void TSftpSite::MakeFolder(const std::string& name, TRemoteDone done) {
    if (!Begin(done)) return;
    if (!IsPlainRemoteName(name))
        return Completed(done, {TRemoteFailure::Refused, 0, "not a plain name", {}});
    Line(TRemoteLineKind::Command, "MKDIR " + name);
    const std::string path = PathOf(name);
    if (connected_ && knownFolders_.count(path))
        return Completed(done, {TRemoteFailure::AlreadyExists, int(sftp_status::Failure), "exists", {}});
    const std::vector<std::string> levels = LevelsFrom(path);
    auto made = std::make_shared<std::vector<TSftpChannel::TMadeFolder>>();
    TSftpSession* session = session_.get();
    Work([session, made, levels] { *made = session->Channel().MakeDirsChecked(levels); },
         [this, made, levels](std::exception_ptr failure) {
             if (failure) return Failure(failure);
             // A folder made now holds no leftovers; one above the site is not ours to sweep, so
             // entering either needs no request, nor does making it again on the way down.
             for (size_t k = 0; k < levels.size(); ++k)
                 if ((*made)[k].isFolder && ((*made)[k].status == sftp_status::Ok || !InSite(levels[k])))
                     knownFolders_.insert(levels[k]);
             const uint32_t status = made->front().status;
             // OpenSSH answers an existing folder with a plain "Failure"; entering it decides.
             if (status == sftp_status::Failure)
                 return TRemoteResult{TRemoteFailure::AlreadyExists, int(status), "exists", {}};
             return StatusResult(status, "SFTP status " + std::to_string(status));
         },
         done);
}

// `path`, and when it lies above the site's folder, every level from it down to that folder: the
// job makes and enters them one by one, and each would cost a round trip of its own.
std::vector<std::string> TSftpSite::LevelsFrom(const std::string& path) const {
    std::vector<std::string> levels{path};
    if (siteRoot_.rfind(path + "/", 0) != 0) return levels;
    for (size_t slash = path.size(); slash != std::string::npos;) {
        slash = siteRoot_.find('/', slash + 1);
        std::string level = siteRoot_.substr(0, slash);
        if (!knownFolders_.count(level)) levels.push_back(level);
    }
    return levels;
}

void TSftpSite::EnterFolder(const std::string& name, TRemoteDone done) {
    if (!Begin(done)) return;
    if (!IsPlainRemoteName(name))
        return Completed(done, {TRemoteFailure::Refused, 0, "not a plain name", {}});
    Line(TRemoteLineKind::Command, "CD " + name);
    const std::string path = PathOf(name);
    // A sibling enters only folders its main session entered before.
    if (connected_ && (knownFolders_.count(path) || sibling_)) {
        folder_ = path;
        return Completed(done, {});
    }
    if (InSite(path))
        SweepFolder(path, done);
    else
        StatFolder(path, done);
}

// A folder on the way to the site only has to be one: a STAT says so in one round trip, where a
// listing of a folder such as /tmp would take several.
void TSftpSite::StatFolder(const std::string& path, TRemoteDone done) {
    auto found = std::make_shared<TSftpName>();
    TSftpSession* session = session_.get();
    Work([session, path, found] { *found = session->Channel().Stat(path); },
         [this, path, found](std::exception_ptr failure) {
             if (failure) return Failure(failure);
             if (!found->IsFolder())
                 return TRemoteResult{TRemoteFailure::Refused, int(sftp_status::Failure), "not a folder", {}};
             folder_ = path;
             knownFolders_.insert(path);
             return TRemoteResult{};
         },
         done);
}

// A folder of the site is listed: that proves it is one, and shows what a killed run left behind,
// whose temporary files go.
void TSftpSite::SweepFolder(const std::string& path, TRemoteDone done) {
    auto removed = std::make_shared<std::vector<std::string>>();
    TSftpSession* session = session_.get();
    Work(
        [session, path, removed] {
            const auto entries = session->Channel().List(path);
            for (const auto& entry : entries)
                if (IsSftpTemporaryName(entry.name) && !entry.IsFolder() &&
                    session->Channel().RemoveFile(JoinPath(path, entry.name)) == sftp_status::Ok)
                    removed->push_back(entry.name);
        },
        [this, path, removed](std::exception_ptr failure) {
            if (failure) return Failure(failure);
            folder_ = path;
            knownFolders_.insert(path);
            for (const auto& name : *removed)
                Line(TRemoteLineKind::Note, "! left over, removed: " + name);
            return TRemoteResult{};
        },
        done);
}

void TSftpSite::LeaveFolder(TRemoteDone done) {
    if (!Begin(done)) return;
    Line(TRemoteLineKind::Command, "CD ..");
    const auto slash = folder_.rfind('/');
    if (slash != std::string::npos) folder_ = slash == 0 ? "/" : folder_.substr(0, slash);
    Completed(done, {});
}

void TSftpSite::Put(const std::filesystem::path& localFile, const std::string& name, TRemoteDone done) {
    auto file = std::make_shared<TRemoteResult>(TRemoteResult{TRemoteFailure::LocalFile, 0, "not sent", {}});
    PutFiles(
        {{localFile, name}},
        [file](size_t, const TRemoteResult& result) {
            *file = result;
            return true;
        },
        [file, done](const TRemoteResult& batch) { done(batch.Ok() ? *file : batch); });
}

void TSftpSite::PutFiles(std::vector<TPutItem> items, TPutEach each, TRemoteDone done) {
    if (!Begin(done)) return;
    if (!session_ || !connected_) return Work({}, {}, done);
    struct TBatch {
        std::vector<TSftpPutItem> items;
        std::vector<size_t> index; // of each item in the caller's list
        std::vector<size_t> refused;
        TSftpPutEvents events;
        std::atomic<bool> stop{false}; // set here, read by the worker
    };
    auto batch = std::make_shared<TBatch>();
    for (size_t i = 0; i < items.size(); ++i) {
        if (!IsPlainRemoteName(items[i].name)) {
            batch->refused.push_back(i);
            continue;
        }
        batch->items.push_back({items[i].localFile, PathOf(items[i].name)});
        batch->index.push_back(i);
    }
    TBatch* raw = batch.get();
    raw->events.started = [this, raw, items = std::move(items)](size_t k) {
        Line(TRemoteLineKind::Upload, items[raw->index[k]].name);
    };
    raw->events.progress = [this](size_t, int64_t bytes) {
        if (events_.progress) events_.progress(bytes);
    };
    raw->events.sent = [raw, each](size_t k) {
        if (!each(raw->index[k], {})) raw->stop = true;
    };
    raw->events.failed = [this, raw, each](size_t k, uint32_t status, const std::string& why) {
        const TRemoteResult result =
            status == 0 ? TRemoteResult{TRemoteFailure::LocalFile, 0, why, {}} : StatusResult(status, why);
        if (!each(raw->index[k], result)) raw->stop = true;
    };
    TSftpSession* session = session_.get();
    session_->Begin(
        [session, batch](const TSftpSession::TPost& post) {
            TSftpPutLimits limits;
            limits.filesInFlight = kFilesAtOnce;
            // Each file on its way holds a handle; a server that allows few keeps half for others.
            const size_t handles = session->Channel().MaxHandles();
            if (handles > 0) limits.filesInFlight = std::clamp<size_t>(handles / 2, 1, limits.filesInFlight);
            limits.chunkBytes = session->Channel().WriteSize();
            limits.stop = &batch->stop;
            vistrel::PutFiles(session->Channel(), batch->items, limits, RelayPutEvents(batch->events, post));
        },
        [this, batch, each, done](std::exception_ptr failure) mutable {
            for (size_t i : batch->refused)
                if (!each(i, {TRemoteFailure::Refused, 0, "not a plain name", {}})) break;
            Complete(done, failure ? Failure(failure) : TRemoteResult{});
        });
}

void TSftpSite::List(TListingDetail, TListingDone done) {
    TRemoteDone plain = [done](const TRemoteResult& result) { done(result, {}); };
    if (!Begin(plain)) return;
    Line(TRemoteLineKind::Command, "LS");
    if (!session_ || !connected_) return Work({}, {}, plain);
    auto entries = std::make_shared<std::vector<TSftpName>>();
    TSftpSession* session = session_.get();
    session_->Begin([session, entries, path = folder_](
                        const TSftpSession::TPost&) { *entries = session->Channel().List(path); },
                    [this, entries, done](std::exception_ptr failure) {
                        busy_ = false;
                        if (failure) return done(Failure(failure), {});
                        std::vector<TRemoteEntry> listed;
                        for (const auto& entry : *entries)
                            listed.push_back(
                                {entry.name, KindOf(entry), entry.hasPermissions ? int64_t(entry.size) : -1});
                        if (events_.progress) events_.progress(0);
                        done({}, std::move(listed));
                    });
}

void TSftpSite::DeleteFile(const std::string& name, TRemoteDone done) {
    if (!Begin(done)) return;
    if (!IsPlainRemoteName(name))
        return Completed(done, {TRemoteFailure::Refused, 0, "not a plain name", {}});
    Line(TRemoteLineKind::Command, "RM " + name);
    auto status = std::make_shared<uint32_t>(0);
    TSftpSession* session = session_.get();
    Work([session, status, path = PathOf(name)] { *status = session->Channel().RemoveFile(path); },
         [this, status](std::exception_ptr failure) {
             return failure ? Failure(failure)
                            : StatusResult(*status, "SFTP status " + std::to_string(*status));
         },
         done);
}

void TSftpSite::RemoveFolder(const std::string& name, TRemoteDone done) {
    if (!Begin(done)) return;
    if (!IsPlainRemoteName(name))
        return Completed(done, {TRemoteFailure::Refused, 0, "not a plain name", {}});
    Line(TRemoteLineKind::Command, "RMDIR " + name);
    auto status = std::make_shared<uint32_t>(0);
    TSftpSession* session = session_.get();
    Work([session, status, path = PathOf(name)] { *status = session->Channel().RemoveDir(path); },
         [this, status, path = PathOf(name)](std::exception_ptr failure) {
             if (failure) return Failure(failure);
             if (*status == sftp_status::Ok) ForgetFolder(path);
             return StatusResult(*status, "SFTP status " + std::to_string(*status));
         },
         done);
}

void TSftpSite::Quit(TRemoteDone done) {
    if (!Begin(done)) return;
    Line(TRemoteLineKind::Command, "QUIT");
    if (!session_ || !connected_) {
        Completed(done, {});
        return;
    }
    session_->SetStallMs(std::min(stallMs_ > 0 ? stallMs_ : 5000, 5000));
    TSftpSession* session = session_.get();
    session_->Begin([session](const TSftpSession::TPost&) { session->DisconnectNow(); },
                    [this, done](std::exception_ptr) mutable {
                        SessionEnded();
                        Complete(done, {});
                    });
}

void TSftpSite::Abort() {
    if (session_) session_->Cancel();
    SessionEnded();
}

bool TSftpSite::Connected() const {
    return connected_ && session_ && session_->Connected();
}

TRemoteSecurity TSftpSite::Security() const {
    return {connected_, connected_ ? "SSH-2.0" : ""};
}

size_t TSftpSite::FilesAtOnce() const {
    return kFilesAtOnce;
}

std::unique_ptr<TRemoteSite> TSftpSite::OpenSibling() const {
    auto sibling = std::make_unique<TSftpSite>(settings_, shared_);
    return sibling;
}

} // namespace vistrel
