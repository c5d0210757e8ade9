#include "upgrade/utils/vuWaitEvents.h"

#include "upgrade/utils/vuApplicationState.h"
#include "upgrade/utils/vuQtHandOver.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <condition_variable>
#include <mutex>

namespace vu {

namespace {

// One wait in progress, on the waiter's stack and linked into the list of waits while it lasts.
struct WaitEvent {
    std::intptr_t id = 0;
    bool signalled = false;
    QEventLoop* loop = nullptr; // the waiting loop, while it exists
    std::condition_variable cv; // used when the thread has no event loop
    WaitEvent* next = nullptr;
};

// Plain data with nothing to destroy, so that SignalEvent stays safe from a worker even while the
// program exits. The lock guards the list, the events in it and the next id.
std::mutex g_waitsLock;
WaitEvent* g_waits = nullptr;
std::intptr_t g_nextEvent = 1;

WaitEvent* FindWait(std::intptr_t id) {
    WaitEvent* e = g_waits;
    while (e && e->id != id)
        e = e->next;
    return e;
}

} // namespace

void WaitWithMessages(TvuEventHandle& event, quint32 timeoutMs, bool stopOnTerminate) {
    WaitEvent wait;
    {
        std::lock_guard lock(g_waitsLock);
        wait.id = g_nextEvent++;
        if (g_nextEvent <= 0)
            g_nextEvent = 1;
        wait.next = g_waits;
        g_waits = &wait;
    }
    event.store(wait.id);
    QDeadlineTimer deadline =
        timeoutMs == 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(timeoutMs);

    auto signalled = [&] {
        std::lock_guard lock(g_waitsLock);
        return wait.signalled;
    };

    if (!QCoreApplication::instance()) {
        // No event loop to keep alive: a plain wait.
        std::unique_lock lock(g_waitsLock);
        while (!wait.signalled && !(stopOnTerminate && ApplicationCloseRequested())) {
            if (deadline.isForever()) {
                wait.cv.wait(lock);
            } else if (wait.cv.wait_for(lock,
                                        std::chrono::milliseconds(deadline.remainingTime())) ==
                       std::cv_status::timeout) {
                break;
            }
        }
    } else {
        QEventLoop loop;
        // Repeating, so that a time-out that fires a little early is looked at again.
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        if (!deadline.isForever())
            timer.start(std::max<qint64>(1, deadline.remainingTime()));
        {
            std::lock_guard lock(g_waitsLock);
            wait.loop = &loop;
        }
        RunEventLoopUntil(
            loop,
            [&] {
                return (stopOnTerminate && ApplicationTerminating()) || signalled() ||
                       deadline.hasExpired();
            },
            stopOnTerminate);
        timer.stop();
        std::lock_guard lock(g_waitsLock);
        wait.loop = nullptr;
    }
    {
        std::lock_guard lock(g_waitsLock);
        WaitEvent** link = &g_waits;
        while (*link != &wait)
            link = &(*link)->next;
        *link = wait.next;
    }
    event.store(-1);
}

void RunEventLoopUntil(QEventLoop& loop, const std::function<bool()>& done, bool stopOnQuit,
                       QEventLoop::ProcessEventsFlags flags) {
    bool loopUsable = true;
    while (!done()) {
        if (!loopUsable) {
            QCoreApplication::processEvents(flags | QEventLoop::WaitForMoreEvents);
            continue;
        }
        loop.exec(flags);
        // Ended without `done`: the application is quitting, which from now on ends every event
        // loop of the thread at once.
        if (done() || stopOnQuit)
            break;
        loopUsable = false;
    }
}

void SignalEvent(std::intptr_t event) {
    if (event == 0 || event == -1)
        return;
    std::lock_guard lock(g_waitsLock);
    WaitEvent* e = FindWait(event);
    if (!e)
        return;
    e->signalled = true;
    e->cv.notify_all();
    if (e->loop) {
        // Queued through Qt from whichever thread signals; the loop is carried by value.
        QEventLoop* loop = e->loop;
        detail::QueueThroughQt(loop, [loop] {
            QMetaObject::invokeMethod(
                loop,
                [loop] {
                    detail::TakeOverThroughQt(loop);
                    loop->quit();
                },
                Qt::QueuedConnection);
        });
    }
}

} // namespace vu
