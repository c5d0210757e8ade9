#pragma once

// Worker threads whose owner was destroyed while they still ran. They end by themselves (their
// run was told to stop); they are kept here rather than detached, so that a program can let them
// end before it exits: what Qt and the libraries keep for a thread is released only as the
// thread ends, and a process that exits under a running worker tears those libraries down
// beneath it.

#include <chrono>
#include <memory>
#include <thread>

namespace vu {

namespace detail {
struct ThreadCore;
// Keeps an abandoned worker. Its run has ended once the worker has let go of its state (the
// last holder of `core` is the worker itself).
void KeepAbandonedWorker(std::jthread worker, std::weak_ptr<ThreadCore> core);
} // namespace detail

// Waits at most `bound` for the kept workers to end, and joins each that did. Those still running
// then are left to end by themselves (as they would without this call). Call it on the
// application's thread where the program ends, while the application object exists. Once a
// worker has been kept, the application object's destruction calls it with a bound of 2 s.
void SettleAbandonedWorkers(std::chrono::milliseconds bound);

} // namespace vu
