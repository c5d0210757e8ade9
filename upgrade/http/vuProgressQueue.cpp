#include "upgrade/http/vuProgressQueue.h"

#include "upgrade/utils/vuThread.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>

namespace vu {

namespace {

// While events cost less than this each, the delivery looks at the clock only every
// kFastEventsPerCheck events (reading it costs about as much as a cheap handler).
constexpr auto kFastEvent = std::chrono::microseconds(1);
constexpr std::size_t kFastEventsPerCheck = 16;
// A delivery that finds the data or the queue busy tries again after this long.
constexpr auto kRetryDelivery = std::chrono::milliseconds(2);

} // namespace

TvuProgressQueue::TvuProgressQueue(std::weak_ptr<TvuProgressReceiver> receiver)
    : receiver_(std::move(receiver)) {}

bool TvuProgressQueue::Push(const TvuProgressEvent* events, std::size_t count) {
    std::unique_lock<std::mutex> lock(lock_);
    queue_.insert(queue_.end(), events, events + count);
    if (!posted_) {
        posted_ = true;
        lock.unlock();
        TvuEventThread::PostCurrent([self = shared_from_this()] { self->Deliver(false); });
        lock.lock();
    }
    if (queue_.size() >= kMaxQueued)
        changed_.wait(lock, [this] { return queue_.size() < kMaxQueued || stopped_.load(); });
    return !stopped_.load();
}

void TvuProgressQueue::Drain() {
    auto pending = [this] {
        std::lock_guard<std::mutex> lock(lock_);
        return !queue_.empty() || batchLeft_;
    };
    while (pending() && !stopped_.load()) {
        TvuEventThread::SynchronizeCurrent([self = shared_from_this()] { self->Deliver(true); });
        if (TvuEventThread::CurrentStopToken().stop_requested())
            break;
    }
}

void TvuProgressQueue::Stop() {
    stopped_.store(true);
    std::lock_guard<std::mutex> lock(lock_);
    changed_.notify_all();
}

// GUI thread. While events keep coming, the next delivery follows one interval later (one
// wake-up per interval, whatever the number of chunks); once a delivery finds nothing, the next
// push asks for one again. A final delivery (the worker waits for it) takes what it needs.
void TvuProgressQueue::Deliver(bool final) {
    const auto now = Clock::now();
    if (!final && now - lastHandOver_ < kHandOverInterval) {
        Schedule(kHandOverInterval - (now - lastHandOver_));
        return;
    }
    const std::shared_ptr<TvuProgressReceiver> receiver = receiver_.lock();
    bool live = receiver != nullptr && !stopped_.load();
    std::size_t delivered = 0;
    if (live) {
        if (!receiver->BeginDelivery(final)) {
            Schedule(kRetryDelivery);
            return;
        }
        delivered = RaiseBatch(*receiver, final, live);
        receiver->EndDelivery();
        if (delivered > 0)
            lastHandOver_ = now;
    }
    std::unique_lock<std::mutex> lock(lock_, std::defer_lock);
    if (final) {
        lock.lock();
    } else if (!lock.try_lock()) {
        Schedule(kRetryDelivery);
        return;
    }
    if (!live || stopped_.load()) {
        queue_.clear();
        batch_.clear();
        taken_ = 0;
        changed_.notify_all();
    }
    batchLeft_ = taken_ < batch_.size();
    const bool left = batchLeft_ || !queue_.empty();
    if (final) {
        posted_ = left;
        return;
    }
    posted_ = left || delivered > 0;
    if (!posted_)
        return;
    lock.unlock();
    Schedule(delivered > 0 ? std::chrono::duration_cast<Clock::duration>(kHandOverInterval)
                           : std::chrono::duration_cast<Clock::duration>(kRetryDelivery));
}

std::size_t TvuProgressQueue::RaiseBatch(TvuProgressReceiver& receiver, bool final, bool& live) {
    const auto start = Clock::now();
    const auto deadline = start + kDeliveryBudget;
    auto lastCheck = start;
    std::size_t delivered = 0, perCheck = 1, sinceCheck = 0;
    while (live) {
        if (taken_ == batch_.size()) {
            // Takes everything queued so far under one lock, without waiting for it: a worker
            // preempted while it adds to the queue may not run again for a while.
            std::unique_lock<std::mutex> lock(lock_, std::defer_lock);
            if (final)
                lock.lock();
            else if (!lock.try_lock())
                break;
            batch_.clear();
            taken_ = 0;
            batch_.swap(queue_);
            batchLeft_ = !batch_.empty();
            changed_.notify_all(); // a worker waiting for room has it now
            if (batch_.empty())
                break;
        }
        while (taken_ < batch_.size()) {
            ++delivered;
            live = receiver.Raise(batch_[taken_++]) && !stopped_.load();
            if (!live)
                break;
            if (++sinceCheck < perCheck)
                continue;
            const auto t = Clock::now();
            if (t >= deadline)
                return delivered;
            perCheck = t - lastCheck < kFastEvent * sinceCheck ? kFastEventsPerCheck : 1;
            sinceCheck = 0;
            lastCheck = t;
        }
    }
    return delivered;
}

void TvuProgressQueue::Schedule(Clock::duration delay) {
    const int ms = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(delay).count());
    QTimer::singleShot(std::max(ms, 1), QCoreApplication::instance(),
                       [self = shared_from_this()] { self->Deliver(false); });
}

} // namespace vu
