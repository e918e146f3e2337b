#include "publishing/ftp_client.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>

namespace vistrel {

std::chrono::milliseconds TFtpClient::Limit() const {
    if (TimeoutMs > 0) return std::chrono::milliseconds(TimeoutMs);
    return std::chrono::seconds(std::max(Timeout, 0));
}

void TFtpClient::ProgressMade() {
    deadline_ = std::chrono::steady_clock::now() + Limit();
}

bool TFtpClient::Run(void (TCustomFtpClient::*start)()) {
    try {
        (this->*start)();
    } catch (const std::exception& error) {
        SetTimeoutNote(error.what(), StatusCode());
        return false;
    }
    const uint64_t serial = RequestSerial();
    const bool limited = Limit().count() > 0;
    deadline_ = std::chrono::steady_clock::now() + Limit();
    bool waited = false;
    for (;;) {
        // A request started meanwhile (a handler aborted and reconnected) supersedes this one.
        if (RequestSerial() != serial) return false;
        if (ReadyForRequest()) {
            int result = RequestResult();
            // The OnRequestDone of a request that finished during the wait runs before we return;
            // one that failed inside its start follows at the next processing of events.
            if (waited) QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
            return result == 0;
        }
        if (QCoreApplication::closingDown() || (limited && std::chrono::steady_clock::now() >= deadline_))
            break;
        WaitForEvents();
        waited = true;
    }
    Abort();
    SetTimeoutNote("426 Timeout", 426);
    return false;
}

// The design spins on "process messages, sleep 0". Sleeping in the event loop until something
// arrives (or the deadline is near) gives the same order of events without burning a core.
void TFtpClient::WaitForEvents() {
    using namespace std::chrono;
    auto left = duration_cast<milliseconds>(deadline_ - steady_clock::now()).count();
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(static_cast<int>(std::clamp<long long>(left, 1, 50)));
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

} // namespace vistrel
