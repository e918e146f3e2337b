#include "publishing/remote_site.h"

#include "publishing/ftp_site.h"
#include "publishing/sftp_site.h"

#include <QCoreApplication>
#include <QTimer>

#include <memory>
#include <optional>

namespace vistrel {

std::string DefaultPort(TRemoteProtocol protocol) {
    return protocol == TRemoteProtocol::Sftp ? "22" : "21";
}

std::string HostPort(const TConnectionSettings& settings) {
    const bool own = settings.port.empty() || settings.port == "ftp";
    return settings.host + ":" + (own ? DefaultPort(settings.protocol) : settings.port);
}

namespace {

// Sleeps in the event loop until an event arrives, waking at least every 50 ms.
void WaitForEvents() {
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(50);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

} // namespace

TRemoteResult Await(const std::function<void(TRemoteDone)>& start) {
    // Shared, so that a completion arriving after we gave up (program closing) writes nowhere bad.
    auto outcome = std::make_shared<std::optional<TRemoteResult>>();
    start([outcome](const TRemoteResult& result) { *outcome = result; });
    while (!*outcome) {
        if (QCoreApplication::closingDown())
            return {TRemoteFailure::Cancelled, 0, "the program is closing", {}};
        WaitForEvents();
    }
    return **outcome;
}

TRemoteResult AwaitListing(const std::function<void(TListingDone)>& start,
                           std::vector<TRemoteEntry>& entries) {
    std::vector<TRemoteEntry> received;
    TRemoteResult result = Await([&](TRemoteDone done) {
        start([done, &received](const TRemoteResult& listed, std::vector<TRemoteEntry> listedEntries) {
            received = std::move(listedEntries);
            done(listed);
        });
    });
    entries = std::move(received);
    return result;
}

namespace {

// A failure after which the session cannot go on with the next file.
bool EndsSession(TRemoteFailure failure) {
    switch (failure) {
    case TRemoteFailure::ConnectionLost:
    case TRemoteFailure::TimedOut:
    case TRemoteFailure::Cancelled:
    case TRemoteFailure::ConnectFailed:
    case TRemoteFailure::NoDataConnection:
    case TRemoteFailure::Busy:
        return true;
    default:
        return false;
    }
}

struct TPutChain {
    TRemoteSite* site;
    std::vector<TPutItem> items;
    TPutEach each;
    TRemoteDone done;
    size_t next = 0;
};

void PutNext(const std::shared_ptr<TPutChain>& chain) {
    if (chain->next == chain->items.size()) return chain->done({});
    const TPutItem& item = chain->items[chain->next];
    chain->site->Put(item.localFile, item.name, [chain](const TRemoteResult& result) {
        if (EndsSession(result.failure)) return chain->done(result);
        if (!chain->each(chain->next++, result)) return chain->done({});
        PutNext(chain);
    });
}

} // namespace

void TRemoteSite::PutFiles(std::vector<TPutItem> items, TPutEach each, TRemoteDone done) {
    auto chain =
        std::make_shared<TPutChain>(TPutChain{this, std::move(items), std::move(each), std::move(done)});
    PutNext(chain);
}

// One adapter per protocol.
std::unique_ptr<TRemoteSite> OpenRemoteSite(const TConnectionSettings& settings) {
    switch (settings.protocol) {
    case TRemoteProtocol::Ftp:
        return std::make_unique<TFtpSite>(settings);
    case TRemoteProtocol::Sftp:
        return std::make_unique<TSftpSite>(settings);
    }
    return nullptr;
}

const char* FailureName(TRemoteFailure failure) {
    switch (failure) {
    case TRemoteFailure::None:
        return "success";
    case TRemoteFailure::Refused:
        return "refused";
    case TRemoteFailure::NotFound:
        return "not found";
    case TRemoteFailure::AlreadyExists:
        return "already exists";
    case TRemoteFailure::NoSpace:
        return "no space";
    case TRemoteFailure::NoDataConnection:
        return "no data connection";
    case TRemoteFailure::ConnectFailed:
        return "connect failed";
    case TRemoteFailure::ConnectionLost:
        return "connection lost";
    case TRemoteFailure::LoginRefused:
        return "login refused";
    case TRemoteFailure::TrustRefused:
        return "trust refused";
    case TRemoteFailure::EncryptionRefused:
        return "encryption refused";
    case TRemoteFailure::TimedOut:
        return "timed out";
    case TRemoteFailure::Cancelled:
        return "cancelled";
    case TRemoteFailure::LocalFile:
        return "local file unreadable";
    case TRemoteFailure::Busy:
        return "busy";
    }
    return "unknown";
}

} // namespace vistrel
