#include "upgrade/utils/vuThreadCore.h"
#include "upgrade/utils/vuThread.h"

#include <QCoreApplication>
#include <QThread>

namespace vu::detail {

namespace {
std::atomic<int> g_receivers{0};
} // namespace

CallReceiver::CallReceiver() {
    ++g_receivers;
}

CallReceiver::~CallReceiver() {
    --g_receivers;
}

int CallReceiver::Count() {
    return g_receivers.load();
}

ThreadCore::ThreadCore(TvuCustomThread* o, std::shared_ptr<OwnerState> state)
    : owner(o), ownerState(std::move(state)), receiver(new CallReceiver) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app && receiver->thread() != app->thread())
        receiver->moveToThread(app->thread());
}

ThreadCore::~ThreadCore() {
    // The last holder may be an abandoned worker: the GUI thread then frees the receiver.
    if (QCoreApplication::instance() && QThread::currentThread() != receiver->thread())
        receiver->deleteLater();
    else
        delete receiver;
}

void ThreadCore::ReportFailure(std::exception_ptr failure) const {
    const TvuThreadEvent handler = onException; // it may replace itself
    if (!handler || Silenced())
        return;
    if (owner)
        owner->exceptionObject_ = failure;
    struct Reset {
        TvuCustomThread* o;
        ~Reset() {
            if (o)
                o->exceptionObject_ = nullptr;
        }
    } reset{owner};
    handler(owner);
}

} // namespace vu::detail

namespace vu {

bool ThreadWindowExists() {
    return detail::CallReceiver::Count() > 0;
}

} // namespace vu
