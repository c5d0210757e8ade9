#include "upgrade/http/vuBackgroundRelease.h"
#include "upgrade/utils/vuQtHandOver.h"

#include <QThreadPool>

#include <memory>

namespace vu {

void ReleaseInBackground(std::function<void()> release) {
    // The pool thread takes the work through Qt's queue: it sees what the caller did before
    // (opened the descriptor it closes, filled the memory it frees) once it takes over the key.
    auto work = std::make_shared<std::function<void()>>(std::move(release));
    const void* key = work.get();
    detail::QueueThroughQt(key, [&] {
        QThreadPool::globalInstance()->start([work, key] {
            detail::TakeOverThroughQt(key);
            (*work)();
        });
    });
}

} // namespace vu
