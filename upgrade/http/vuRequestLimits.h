// The time limits of one request while it runs: the whole time of a send, and, once connected,
// the time without a byte moving and the minimum average speed over a window. Time the listener
// spends holding the request (asking the owner, writing to a slow disk) is no fault of the
// server's and is not counted against it.
#pragma once

#include "upgrade/http/vuTransferFailure.h"

#include <QtGlobal>

#include <chrono>
#include <cstddef>

namespace vu {

class TvuRequestLimits {
public:
    using Clock = std::chrono::steady_clock;

    // Milliseconds; 0 turns a limit off.
    void Configure(quint32 total, quint32 stall, quint32 minimumSpeed, quint32 minimumSpeedTime);

    // A send begins (the total limit counts from here).
    void StartSend();
    // A hop of the send begins: not connected yet.
    void StartHop();
    // Connected: the stall and speed limits count from now.
    void Connect();
    // Something moved (n bytes of it received).
    void Touch(std::size_t received = 0);
    // Starts the minimum-speed window afresh.
    void RestartWindow();
    // Moves the limits on by time the listener held the request.
    void Exclude(Clock::duration spent);

    // Milliseconds until the next limit falls due, or -1 once one has been crossed (Cause() and
    // Milliseconds() then say which).
    long long Check(Clock::time_point now);
    TvuFailureCause Cause() const { return cause_; }
    quint32 Milliseconds() const { return crossedMs_; }

private:
    long long Crossed(TvuFailureCause cause, quint32 ms);

    quint32 total_ = 0, stall_ = 0, minimumSpeed_ = 0, minimumSpeedTime_ = 0;
    bool connected_ = false;
    Clock::time_point sendStart_, lastActivity_, windowStart_;
    quint64 windowBytes_ = 0;
    TvuFailureCause cause_ = TvuFailureCause::None;
    quint32 crossedMs_ = 0;
};

} // namespace vu
