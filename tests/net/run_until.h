#pragma once
// Runs the event loop until a condition holds or a bound passes; tests never sleep.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <functional>

namespace vistrel::testing {

inline bool RunUntil(const std::function<bool()>& done, int boundMs = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > boundMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (!done()) QThread::yieldCurrentThread();
    }
    return true;
}

// Lets every event that is already due run, for tests that assert something did not happen.
inline void Drain(int rounds = 20) {
    for (int i = 0; i < rounds; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace vistrel::testing
