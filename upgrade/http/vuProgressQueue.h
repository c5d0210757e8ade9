// Progress events of a transfer on their way from its worker to the GUI thread, in batches.
//
// The worker pushes the events of every chunk it stores and goes on receiving; it waits only
// while the GUI thread is MaxQueued events behind. The GUI thread takes the whole queue at once
// and raises the events from there, a new batch at most once per hand-over interval and for a
// limited time at a time, so that its event loop keeps running however small the chunks. Before
// the transfer's outcome the worker drains the queue: every event is raised, in order, before
// the completion. Once stopped, nothing more is raised and a waiting worker goes on at once.
#pragma once

#include "upgrade/http/vuTransferStatistics.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

namespace vu {

struct TvuProgressEvent {
    quint32 BytesRead = 0;
    TvuTransferStatistics Stats;
};

// Where the events go, on the GUI thread.
class TvuProgressReceiver {
public:
    virtual ~TvuProgressReceiver() = default;
    // Whether events may be raised now (the data they show is not being written); with `wait`
    // they must be, and this may wait a moment. A true answer is followed by EndDelivery.
    virtual bool BeginDelivery(bool wait) = 0;
    // Raises one event; false once the events are no longer wanted (the transfer was let go).
    virtual bool Raise(const TvuProgressEvent& event) = 0;
    virtual void EndDelivery() = 0;
};

class TvuProgressQueue : public std::enable_shared_from_this<TvuProgressQueue> {
public:
    using Clock = std::chrono::steady_clock;
    // A new batch is handed over at most this often.
    static constexpr auto kHandOverInterval = std::chrono::milliseconds(16);
    // The GUI thread raises events for at most this long at a time.
    static constexpr auto kDeliveryBudget = std::chrono::milliseconds(8);
    // The most events waiting for the GUI thread; a worker this far ahead waits.
    static constexpr std::size_t kMaxQueued = 16384;

    explicit TvuProgressQueue(std::weak_ptr<TvuProgressReceiver> receiver);

    // Worker: queues the events of chunks just stored and asks for a delivery unless one is on
    // its way. False once stopped.
    bool Push(const TvuProgressEvent* events, std::size_t count);
    // Worker: returns once every queued event has been raised, or the queue is stopped, or the
    // run is abandoned.
    void Drain();
    // Any thread.
    void Stop();
    bool Stopped() const { return stopped_.load(); }

private:
    void Deliver(bool final);
    // Raises what is queued until the budget runs out; the number raised. Clears `live` when the
    // receiver no longer wants events.
    std::size_t RaiseBatch(TvuProgressReceiver& receiver, bool final, bool& live);
    void Schedule(Clock::duration delay);

    std::weak_ptr<TvuProgressReceiver> receiver_;
    std::atomic<bool> stopped_{false};

    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<TvuProgressEvent> queue_; // guarded by lock_; keeps its capacity
    bool posted_ = false;                 // a delivery is posted or scheduled (lock_)
    bool batchLeft_ = false;              // the GUI thread holds events not raised yet (lock_)

    // GUI thread: the batch taken from the queue, raised up to taken_.
    std::vector<TvuProgressEvent> batch_;
    std::size_t taken_ = 0;
    Clock::time_point lastHandOver_;
};

} // namespace vu
