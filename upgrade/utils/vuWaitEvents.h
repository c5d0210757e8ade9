// Waiting on the GUI thread without freezing its windows, until another party (any thread)
// signals an event.
#pragma once

#include <QEventLoop>

#include <atomic>
#include <cstdint>
#include <functional>

namespace vu {

// An event handle held in a variable: 0 = never created, -1 = already closed by WaitWithMessages,
// anything else a live event that SignalEvent can set.
using TvuEventHandle = std::atomic<std::intptr_t>;

// Creates an event, stores its handle in `event` and runs the calling thread's event loop until
// the event is signalled, `timeoutMs` has passed (0 = no limit) or, with stopOnTerminate, the
// application is terminating. The event is then closed and `event` set to -1.
void WaitWithMessages(TvuEventHandle& event, quint32 timeoutMs, bool stopOnTerminate);
// Sets the event when the handle is neither 0 nor -1. Safe from any thread.
void SignalEvent(std::intptr_t event);

// Runs `loop` (with `flags`) until `done()` holds; whoever makes it hold then quits the loop. Once
// the application has been told to quit, every event loop of its thread ends at once: the wait
// then returns when `stopOnQuit` is set, else it goes on handling events batch by batch.
void RunEventLoopUntil(QEventLoop& loop, const std::function<bool()>& done, bool stopOnQuit,
                       QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents);

} // namespace vu
