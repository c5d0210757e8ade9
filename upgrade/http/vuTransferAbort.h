// Stopping a transfer from the GUI thread while its worker runs: the request returns at once,
// also while it waits for a connection or for data, and a worker waiting for the GUI thread goes
// on. What the worker is inside of at that moment (a write or sync of the output file, which
// holds every close and removal of that file on some file systems) is not waited for: closing
// and removing the output is left to the worker, which does it as soon as it comes out, with no
// other thread involved.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace vu {

class TvuCurlRequest;

class TvuTransferStop {
public:
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
    std::atomic<bool> stopped_{false};
    std::mutex lock_;
    std::shared_ptr<TvuCurlRequest> request_; // lock_
    std::function<void()> left_;              // lock_
    bool workerDone_ = false;                 // lock_
};

} // namespace vu
