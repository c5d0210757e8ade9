// The one bounded wait of the tests that run Qt objects on the test's own thread: the event loop
// keeps running (queued signals, timers, deferred deletes) until a condition holds or the time is
// up. Never a fixed sleep: a loaded machine only makes the wait longer, not the test wrong.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <functional>

namespace vutest {

// Runs the event loop until `done` holds or `timeoutMs` has passed; returns `done()`.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 20000) {
    const QDeadlineTimer deadline(timeoutMs);
    // The loop sleeps while idle; this timer wakes it to look at the condition again, which
    // may have been changed by another thread without any event.
    QTimer poll;
    poll.start(5);
    while (!done()) {
        if (deadline.hasExpired())
            return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        // A running event loop deletes objects passed to deleteLater(); this one must as well.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

inline bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    return WaitFor(done, int(timeout.count()));
}

} // namespace vutest
