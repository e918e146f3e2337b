#include "support/fake_remote_site.h"

#include <fstream>
#include <iterator>

namespace vistrel::testing {

std::vector<std::string> TFakeServer::Requests(const std::string& verb) const {
    std::vector<std::string> picked;
    for (const std::string& line : transcript)
        if (line.rfind(verb + " ", 0) == 0 || line == verb) picked.push_back(line);
    return picked;
}

TFakeRemoteSite::TFakeRemoteSite(std::shared_ptr<TFakeServer> server, TConnectionSettings settings)
    : server_(std::move(server)), settings_(std::move(settings)) {}

TFakeRemoteSite::~TFakeRemoteSite() = default;

void TFakeRemoteSite::Post(std::function<void()> call) {
    QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

std::string TFakeRemoteSite::Here() const {
    std::string path;
    for (const std::string& part : folder_)
        path += (path.empty() ? "" : "/") + part;
    return path;
}

std::string TFakeRemoteSite::PathOf(const std::string& name) const {
    const std::string here = Here();
    return here.empty() ? name : here + "/" + name;
}

void TFakeRemoteSite::Lose() {
    connected_ = false;
    if (server_->goneAfterLoss) server_->gone = true;
    if (events_.connection) events_.connection(false);
}

void TFakeRemoteSite::Request(const std::string& verb, const std::string& argument, TRemoteDone done,
                              const std::function<TRemoteResult()>& work) {
    TRemoteResult result;
    if (busy_) {
        result = {TRemoteFailure::Busy, 0, "busy", {}};
        return Post([done, result] { done(result); });
    }
    server_->transcript.push_back(argument.empty() ? verb : verb + " " + argument);
    if (events_.line) events_.line(TRemoteLineKind::Command, argument.empty() ? verb : verb + " " + argument);
    if (verb != "connect" && !connected_)
        result = {TRemoteFailure::ConnectionLost, 0, "not connected", {}};
    else if (server_->refuse.count(verb))
        result = {TRemoteFailure::Refused, 550, verb + " refused", {}};
    else
        result = work();
    busy_ = true;
    Post([this, done, result, generation = generation_] {
        if (generation != generation_) return done({TRemoteFailure::Cancelled, 0, "aborted", {}});
        busy_ = false;
        done(result);
    });
}

void TFakeRemoteSite::Connect(TRemoteDone done) {
    Request("connect", {}, std::move(done), [this]() -> TRemoteResult {
        if (server_->gone) return {TRemoteFailure::ConnectFailed, 0, "connection refused", {}};
        if (server_->refuseLogin) return {TRemoteFailure::LoginRefused, 530, "login incorrect", {}};
        connected_ = true;
        folder_.clear();
        ++server_->logins;
        if (events_.connection) events_.connection(true);
        return {};
    });
}

void TFakeRemoteSite::LearnFeatures(TRemoteDone done) {
    Request("features", {}, std::move(done), [] { return TRemoteResult{}; });
}

void TFakeRemoteSite::PrepareTransfers(TRemoteDone done) {
    Request("binary", {}, std::move(done), [] { return TRemoteResult{}; });
}

void TFakeRemoteSite::MakeFolder(const std::string& name, TRemoteDone done) {
    Request("mkd", name, std::move(done), [this, name]() -> TRemoteResult {
        if (!server_->folders.insert(PathOf(name)).second)
            return {TRemoteFailure::AlreadyExists, 550, "exists", {}};
        return {};
    });
}

void TFakeRemoteSite::EnterFolder(const std::string& name, TRemoteDone done) {
    Request("cwd", name, std::move(done), [this, name]() -> TRemoteResult {
        if (!server_->folders.count(PathOf(name)))
            return {TRemoteFailure::NotFound, 550, "no such folder", {}};
        folder_.push_back(name);
        return {};
    });
}

void TFakeRemoteSite::LeaveFolder(TRemoteDone done) {
    Request("cdup", {}, std::move(done), [this]() -> TRemoteResult {
        if (!folder_.empty()) folder_.pop_back();
        return {};
    });
}

void TFakeRemoteSite::Put(const std::filesystem::path& localFile, const std::string& name, TRemoteDone done) {
    if (events_.line && connected_) events_.line(TRemoteLineKind::Upload, name);
    Request("put", name, std::move(done), [this, localFile, name]() -> TRemoteResult {
        if (server_->noSpace) return {TRemoteFailure::NoSpace, 552, "no space", {}};
        if (server_->loseConnectionAfterPuts >= 0 && server_->confirmed >= server_->loseConnectionAfterPuts) {
            Lose();
            return {TRemoteFailure::ConnectionLost, 0, "connection reset", {}};
        }
        std::ifstream in(localFile, std::ios::binary);
        if (!in) return {TRemoteFailure::LocalFile, 0, "cannot read", {}};
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (events_.progress) events_.progress(static_cast<int64_t>(bytes.size()));
        server_->files[PathOf(name)] = bytes;
        ++server_->confirmed;
        if (server_->onConfirmed) server_->onConfirmed(server_->confirmed);
        return {};
    });
}

void TFakeRemoteSite::List(TListingDetail, TListingDone done) {
    auto entries = std::make_shared<std::vector<TRemoteEntry>>();
    Request(
        "list", {}, [done, entries](const TRemoteResult& result) { done(result, *entries); },
        [this, entries]() -> TRemoteResult {
            if (server_->listError) return {TRemoteFailure::Refused, 550, "no listing", {}};
            const std::string prefix = Here().empty() ? "" : Here() + "/";
            auto direct = [&prefix](const std::string& path) {
                return path.rfind(prefix, 0) == 0 && path.find('/', prefix.size()) == std::string::npos;
            };
            for (const auto& [path, bytes] : server_->files)
                if (direct(path))
                    entries->push_back({path.substr(prefix.size()), TRemoteEntryKind::File,
                                        static_cast<int64_t>(bytes.size())});
            for (const std::string& path : server_->folders)
                if (direct(path))
                    entries->push_back({path.substr(prefix.size()), TRemoteEntryKind::Folder, -1});
            return {};
        });
}

void TFakeRemoteSite::DeleteFile(const std::string& name, TRemoteDone done) {
    Request("dele", name, std::move(done), [this, name]() -> TRemoteResult {
        if (server_->files.erase(PathOf(name)) == 0)
            return {TRemoteFailure::NotFound, 550, "no such file", {}};
        return {};
    });
}

void TFakeRemoteSite::RemoveFolder(const std::string& name, TRemoteDone done) {
    Request("rmd", name, std::move(done), [this, name]() -> TRemoteResult {
        const std::string path = PathOf(name);
        for (const auto& [file, bytes] : server_->files)
            if (file.rfind(path + "/", 0) == 0) return {TRemoteFailure::Refused, 550, "not empty", {}};
        server_->folders.erase(path);
        return {};
    });
}

void TFakeRemoteSite::Quit(TRemoteDone done) {
    Request("quit", {}, std::move(done), [this]() -> TRemoteResult {
        connected_ = false;
        if (events_.connection) events_.connection(false);
        return {};
    });
}

void TFakeRemoteSite::Abort() {
    ++generation_;
    busy_ = false;
    if (connected_) {
        connected_ = false;
        if (events_.connection) events_.connection(false);
    }
}

std::unique_ptr<TRemoteSite> TFakeRemoteSite::OpenSibling() const {
    return std::make_unique<TFakeRemoteSite>(server_, settings_);
}

} // namespace vistrel::testing
