// Retries of a listed file whose transfer broke off during an upgrade: up to three, after pauses
// of 1, 2 and 4 seconds, each one going on from the partial file. Only when they are used up does
// the upgrade report the lost connection.
#pragma once

#include <QObject>

#include <functional>

namespace vu {

class TvuDownloadRetry {
public:
    static constexpr int kMaxRetries = 3;
    // The pause before retry n (0-based): 1000, 2000, 4000 milliseconds.
    static int PauseMs(int retry);

    // A new file: all retries are available again.
    void Reset() { used_ = 0; }
    // Schedules the next retry, `retry` running after its pause (env::Schedule); false when none
    // is left.
    bool Next(QObject* context, std::function<void()> retry);
    int Used() const { return used_; }

private:
    int used_ = 0;
};

} // namespace vu
