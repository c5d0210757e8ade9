#include "upgrade/utils/vuWaitEvents.h"

#include "upgrade/utils/vuApplicationState.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace vu {

namespace {

struct WaitEvent {
    bool signalled = false;
    QEventLoop* loop = nullptr; // the waiting loop, while it exists
    std::condition_variable cv; // used when the thread has no event loop
};

// Never destroyed: SignalEvent may still be called by a worker while the program exits.
std::mutex& g_eventsLock = *new std::mutex;
auto& g_events = *new std::unordered_map<std::intptr_t, std::shared_ptr<WaitEvent>>;
std::intptr_t g_nextEvent = 1;

} // namespace

void WaitWithMessages(TvuEventHandle& event, quint32 timeoutMs, bool stopOnTerminate) {
    auto waitEvent = std::make_shared<WaitEvent>();
    std::intptr_t id = 0;
    {
        std::lock_guard lock(g_eventsLock);
        id = g_nextEvent++;
        if (g_nextEvent <= 0)
            g_nextEvent = 1;
        g_events.emplace(id, waitEvent);
    }
    event.store(id);
    QDeadlineTimer deadline =
        timeoutMs == 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(timeoutMs);

    auto signalled = [&] {
        std::lock_guard lock(g_eventsLock);
        return waitEvent->signalled;
    };

    if (!QCoreApplication::instance()) {
        // No event loop to keep alive: a plain wait.
        std::unique_lock lock(g_eventsLock);
        while (!waitEvent->signalled && !(stopOnTerminate && ApplicationCloseRequested())) {
            if (deadline.isForever()) {
                waitEvent->cv.wait(lock);
            } else if (waitEvent->cv.wait_for(
                           lock, std::chrono::milliseconds(deadline.remainingTime())) ==
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
            std::lock_guard lock(g_eventsLock);
            waitEvent->loop = &loop;
        }
        RunEventLoopUntil(
            loop,
            [&] {
                return (stopOnTerminate && ApplicationTerminating()) || signalled() ||
                       deadline.hasExpired();
            },
            stopOnTerminate);
        timer.stop();
        std::lock_guard lock(g_eventsLock);
        waitEvent->loop = nullptr;
    }
    {
        std::lock_guard lock(g_eventsLock);
        g_events.erase(id);
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
    std::lock_guard lock(g_eventsLock);
    const auto it = g_events.find(event);
    if (it == g_events.end())
        return;
    WaitEvent& e = *it->second;
    e.signalled = true;
    e.cv.notify_all();
    if (e.loop) {
        QEventLoop* loop = e.loop;
        QMetaObject::invokeMethod(
            loop, [loop] { loop->quit(); }, Qt::QueuedConnection);
    }
}

} // namespace vu
