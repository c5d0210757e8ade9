#include "upgrade/updater/vuDownloadRetry.h"

#include <QTimer>

namespace vu {

namespace {

TvuDownloadRetry::Scheduler& CurrentScheduler() {
    static TvuDownloadRetry::Scheduler scheduler;
    return scheduler;
}

} // namespace

int TvuDownloadRetry::PauseMs(int retry) {
    return 1000 << retry;
}

void TvuDownloadRetry::SetScheduler(Scheduler scheduler) {
    CurrentScheduler() = std::move(scheduler);
}

bool TvuDownloadRetry::Next(QObject* context, std::function<void()> retry) {
    if (used_ >= MaxRetries)
        return false;
    const int ms = PauseMs(used_++);
    if (CurrentScheduler())
        CurrentScheduler()(context, ms, std::move(retry));
    else
        QTimer::singleShot(ms, context, std::move(retry));
    return true;
}

} // namespace vu
