// Stopping a transfer from the GUI thread while its worker runs, and letting it go: the request
// returns at once, also while it waits for a connection or for data, a worker waiting for the GUI
// thread goes on, and once the component lets go of the transfer nothing of it reaches the
// component any more. What the worker is inside of at that moment (a write or sync of the output
// file, which holds every close and removal of that file on some file systems) is not waited for:
// closing and removing the output is left to the worker, which does it as soon as it comes out,
// with no other thread involved.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace vu {

class TvuCurlRequest;
class TvuCustomHTTP;

class TvuTransferStop {
public:
    explicit TvuTransferStop(TvuCustomHTTP* owner) : owner_(owner) {}

    // GUI thread: the component the transfer belongs to; null once it let the transfer go.
    TvuCustomHTTP* Owner() const { return owner_; }
    // GUI thread: the component lets the transfer go; returns once a worker-thread event in
    // progress has ended.
    void LetGoOfOwner();
    // Worker: runs f with the component, unless it let the transfer go or the transfer stopped;
    // the component does not let go meanwhile. The lock is not held while f runs, so that
    // stopping never waits for an event.
    template <typename F> void WithOwner(F f) {
        TvuCustomHTTP* owner = EnterEvent();
        if (owner == nullptr)
            return;
        struct Leave {
            TvuTransferStop& stop;
            ~Leave() { stop.LeaveEvent(); }
        } leave{*this};
        f(*owner);
    }

    // Any thread: stops the request published now or later.
    void Stop();
    bool Stopped() const { return stopped_.load(); }

    // Worker: the request the transfer sends from now on; false when stopped already.
    bool Publish(std::shared_ptr<TvuCurlRequest> request);
    // Worker: takes the request back (to close it on the worker).
    std::shared_ptr<TvuCurlRequest> Withdraw();

    // GUI thread: work on what the worker is inside of, run by the worker at its end, or at
    // once when the worker is done already.
    void LeaveToWorker(std::function<void()> work);
    // Worker, at its very end: runs what was left to it.
    void WorkerDone();

private:
    TvuCustomHTTP* EnterEvent();
    void LeaveEvent();

    std::atomic<bool> stopped_{false};
    std::mutex lock_;
    std::condition_variable eventEnded_;
    TvuCustomHTTP* owner_;                    // written under lock_ on the GUI thread
    int inEvent_ = 0;                         // lock_
    std::shared_ptr<TvuCurlRequest> request_; // lock_
    std::function<void()> left_;              // lock_
    bool workerDone_ = false;                 // lock_
};

} // namespace vu
