#include "upgrade/http/vuBackgroundRelease.h"

#include <QThreadPool>

namespace vu {

void ReleaseInBackground(std::function<void()> release) {
    QThreadPool::globalInstance()->start(std::move(release));
}

} // namespace vu
