#include "upgrade/utils/vuAbandonedWorkers.h"

#include "upgrade/utils/vuThreadCore.h"

#include <QCoreApplication>
#include <QThread>

#include <mutex>
#include <vector>

namespace vu {

namespace {

struct KeptWorker {
    std::jthread worker;
    std::weak_ptr<detail::ThreadCore> core;
};

class KeptWorkers {
public:
    ~KeptWorkers() {
        // At the process's exit a worker still running is left to end: joining could hang the
        // exit, and a jthread would join on destruction.
        for (KeptWorker& kept : workers)
            if (kept.worker.joinable())
                kept.worker.detach();
    }
    std::mutex lock;
    std::vector<KeptWorker> workers;
};

KeptWorkers& Kept() {
    static KeptWorkers kept;
    return kept;
}

// Joins the workers that have let go of their state (what is left is the thread's own teardown)
// and forgets them.
void JoinEnded(std::vector<KeptWorker>& workers) {
    std::erase_if(workers, [](KeptWorker& k) {
        if (!k.core.expired())
            return false;
        k.worker.join();
        return true;
    });
}

// How long the application's end waits for the kept workers.
constexpr std::chrono::seconds kExitBound{2};

void SettleAtExit() {
    SettleAbandonedWorkers(kExitBound);
}

} // namespace

void detail::KeepAbandonedWorker(std::jthread worker, std::weak_ptr<ThreadCore> core) {
    KeptWorkers& kept = Kept();
    std::lock_guard guard(kept.lock);
    // The application object's end lets them end: every program that uses the component exits
    // only after its workers, or after the bound.
    static const bool settledAtExit = (qAddPostRoutine(SettleAtExit), true);
    (void)settledAtExit;
    // Workers that have ended since are joined now, so that the list does not grow.
    JoinEnded(kept.workers);
    kept.workers.push_back({std::move(worker), std::move(core)});
}

void SettleAbandonedWorkers(std::chrono::milliseconds bound) {
    KeptWorkers& kept = Kept();
    std::lock_guard guard(kept.lock);
    const auto deadline = std::chrono::steady_clock::now() + bound;
    // A worker gives no other sign of having left its run than letting go of its state; it
    // ends promptly once told to stop, so a short poll is enough.
    for (const KeptWorker& k : kept.workers)
        while (!k.core.expired() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    JoinEnded(kept.workers);
    // A worker that let go of its state last had its receiver deleted later, on this thread.
    QCoreApplication* app = QCoreApplication::instance();
    if (app != nullptr && QThread::currentThread() == app->thread())
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace vu
