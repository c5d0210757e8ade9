// The bounded wait of tests without an event loop (child processes, files, server threads):
// checks a condition every few milliseconds until it holds or the time is up. A loaded machine
// only makes the wait longer, never the result different.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace vutest {

// Checks `done` until it holds or `timeout` has passed; returns `done()`'s last answer.
inline bool PollUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
                      std::chrono::milliseconds interval = std::chrono::milliseconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(interval);
    }
}

} // namespace vutest
