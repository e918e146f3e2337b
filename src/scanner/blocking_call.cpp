#include "scanner/blocking_call.h"

#include <QEventLoop>
#include <QTimer>

#include <exception>
#include <thread>

namespace vistrel {

namespace {
constexpr int kCancelPollMilliseconds = 100;
}

void RunBlocking(const std::function<void(const TPostToCaller& post)>& task, const JobControl* control,
                 const std::function<void()>& cancel) {
    QEventLoop loop;
    QObject receiver; // lives on the calling thread, so events posted to it run here
    bool cancelRequested = false;
    auto checkCancel = [&] {
        if (control && cancel && !cancelRequested && control->Cancelled()) {
            cancelRequested = true;
            cancel();
        }
    };
    TPostToCaller post = [&receiver, &checkCancel](std::function<void()> work) {
        QMetaObject::invokeMethod(
            &receiver,
            [work = std::move(work), &checkCancel] {
                work();
                checkCancel();
            },
            Qt::QueuedConnection);
    };
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &receiver, checkCancel);
    if (control) poll.start(kCancelPollMilliseconds);

    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            task(post);
        } catch (...) {
            failure = std::current_exception();
        }
        // Posted last, so every report of the task has run when the loop ends.
        QMetaObject::invokeMethod(
            &receiver, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    if (failure) std::rethrow_exception(failure);
}

} // namespace vistrel
