#include "upgrade/updater/vuDownloadRetry.h"

#include "upgrade/utils/vuEnvironment.h"

namespace vu {

int TvuDownloadRetry::PauseMs(int retry) {
    return 1000 << retry;
}

bool TvuDownloadRetry::Next(QObject* context, std::function<void()> retry) {
    if (used_ >= kMaxRetries)
        return false;
    const int ms = PauseMs(used_++);
    env::Schedule(context, ms, std::move(retry));
    return true;
}

} // namespace vu
