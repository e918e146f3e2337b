#pragma once
// Hands work to the thread that made the box, through that thread's event loop, in the order it
// was posted. Work still pending when the box goes is dropped, also when the box goes from inside
// one of the works it runs (a site that its own completion destroys): the receiver then outlives
// the call and is deleted later.
#include <QObject>

#include <functional>
#include <memory>

namespace vistrel {

class TPostBox {
public:
    TPostBox() : receiver_(std::make_unique<QObject>()), alive_(std::make_shared<int>(0)) {}
    ~TPostBox() {
        alive_.reset();
        if (depth_ > 0) receiver_.release()->deleteLater();
    }
    TPostBox(const TPostBox&) = delete;
    TPostBox& operator=(const TPostBox&) = delete;

    // From any thread, as long as the box lives.
    void Post(std::function<void()> work) {
        std::weak_ptr<int> token = alive_;
        QMetaObject::invokeMethod(
            receiver_.get(),
            [this, token, work = std::move(work)] {
                if (token.expired()) return;
                ++depth_;
                work();
                if (token.expired()) return; // the work destroyed the box
                --depth_;
            },
            Qt::QueuedConnection);
    }
    QObject* Receiver() const { return receiver_.get(); }

private:
    std::unique_ptr<QObject> receiver_;
    std::shared_ptr<int> alive_;
    int depth_ = 0;
};

} // namespace vistrel
