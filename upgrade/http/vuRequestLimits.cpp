#include "upgrade/http/vuRequestLimits.h"

#include <algorithm>

namespace vu {

using std::chrono::duration_cast;
using std::chrono::milliseconds;

void TvuRequestLimits::Configure(quint32 total, quint32 stall, quint32 minimumSpeed,
                                 quint32 minimumSpeedTime) {
    total_ = total;
    stall_ = stall;
    minimumSpeed_ = minimumSpeed;
    minimumSpeedTime_ = minimumSpeedTime;
}

void TvuRequestLimits::StartSend() {
    sendStart_ = Clock::now();
    cause_ = TvuFailureCause::None;
    crossedMs_ = 0;
}

void TvuRequestLimits::StartHop() {
    connected_ = false;
    Touch();
}

void TvuRequestLimits::Connect() {
    connected_ = true;
    Touch();
    RestartWindow();
}

void TvuRequestLimits::Touch(std::size_t received) {
    lastActivity_ = Clock::now();
    windowBytes_ += received;
}

void TvuRequestLimits::RestartWindow() {
    windowBytes_ = 0;
    windowStart_ = Clock::now();
}

void TvuRequestLimits::Exclude(Clock::duration spent) {
    lastActivity_ += spent;
    windowStart_ += spent;
}

long long TvuRequestLimits::Crossed(TvuFailureCause cause, quint32 ms) {
    cause_ = cause;
    crossedMs_ = ms;
    return -1;
}

long long TvuRequestLimits::Check(Clock::time_point now) {
    long long due = 1000;
    if (total_ != 0) {
        const long long spent = duration_cast<milliseconds>(now - sendStart_).count();
        if (spent >= static_cast<long long>(total_))
            return Crossed(TvuFailureCause::TimeLimit, total_);
        due = std::min<long long>(due, total_ - spent);
    }
    if (!connected_)
        return due;
    if (stall_ != 0) {
        const long long idle = duration_cast<milliseconds>(now - lastActivity_).count();
        if (idle >= static_cast<long long>(stall_))
            return Crossed(TvuFailureCause::NoAnswer, stall_);
        due = std::min<long long>(due, stall_ - idle);
    }
    if (minimumSpeed_ != 0 && minimumSpeedTime_ != 0) {
        const long long span = duration_cast<milliseconds>(now - windowStart_).count();
        if (span >= static_cast<long long>(minimumSpeedTime_)) {
            // The average over the whole window, compared without rounding.
            if (windowBytes_ * 1000 <
                static_cast<quint64>(minimumSpeed_) * static_cast<quint64>(span))
                return Crossed(TvuFailureCause::TooSlow, minimumSpeedTime_);
            // Fast enough: judge the next window from here.
            RestartWindow();
            due = std::min<long long>(due, minimumSpeedTime_);
        } else {
            due = std::min<long long>(due, minimumSpeedTime_ - span);
        }
    }
    return due;
}

} // namespace vu
