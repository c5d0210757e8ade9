#include "upgrade/utils/vuThread.h"

#include "upgrade/utils/vuAbandonedWorkers.h"
#include "upgrade/utils/vuQtHandOver.h"
#include "upgrade/utils/vuWaitEvents.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <sys/syscall.h>
#include <unistd.h>

namespace vu {

using detail::CallReceiver;
using detail::OwnerState;
using detail::ThreadCore;

namespace {

thread_local ThreadCore* t_current = nullptr;
thread_local std::stop_token t_stop;

bool OnGuiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

// Runs `method` on the GUI thread for the run of `core` while the caller waits; a call its run
// was abandoned before it started does not run. What it throws comes back to the caller when the
// owner does not handle exceptions.
void SynchronizeCore(ThreadCore& core, const TvuThreadMethod& method) {
    if (!method || core.Silenced())
        return;
    std::exception_ptr failure;
    std::atomic<bool> returned{false};
    QObject* receiver = core.receiver;
    // The receiver is carried by value: the GUI thread reads it before it takes the hand-over.
    auto call = [&, receiver] {
        detail::TakeOverThroughQt(receiver);
        if (!core.Silenced()) {
            try {
                method();
            } catch (...) {
                failure = std::current_exception();
            }
        }
        returned.store(true, std::memory_order_release);
    };
    if (OnGuiThread()) {
        call();
    } else {
        detail::QueueThroughQt(receiver, [&] {
            QMetaObject::invokeMethod(receiver, call, Qt::BlockingQueuedConnection);
        });
        // Pairs with the store above, so that race checkers, which cannot see into the semaphore
        // the call is waited for with, see the call's writes ordered before what follows.
        returned.load(std::memory_order_acquire);
    }
    if (failure && !core.ownerState->handleExceptions.load())
        std::rethrow_exception(failure);
}

void ThreadProc(std::stop_token stop, std::shared_ptr<ThreadCore> core, TvuThreadEvent work) {
    { std::lock_guard started(core->startLock); }
    t_current = core.get();
    t_stop = stop;
    core->tid.store(static_cast<qint64>(syscall(SYS_gettid)));
    ApplyThreadPriority(core->tid.load(), core->priority.load());
    if (!core->terminated.load()) {
        core->running.store(true);
        try {
            if (work && !core->Silenced())
                work(core->owner);
        } catch (...) {
            // Unhandled, a failure ends the work unreported; it must never leave the thread.
            const std::exception_ptr failure = std::current_exception();
            if (core->ownerState->handleExceptions.load()) {
                try {
                    SynchronizeCore(*core, [&] { core->ReportFailure(failure); });
                } catch (...) {
                }
            }
        }
        try {
            SynchronizeCore(*core, [&] {
                const TvuThreadEvent finish = core->onFinish; // it may replace itself
                // Set on this thread once the handler is over (returned or thrown), so that an
                // owner destroyed after it knows the run ends at once; one destroyed inside it
                // must not wait for the worker, which waits for this call.
                struct Ending {
                    ThreadCore& c;
                    ~Ending() { c.ending.store(true); }
                } ending{*core};
                try {
                    if (finish)
                        finish(core->owner);
                } catch (...) {
                    if (!core->ownerState->handleExceptions.load())
                        throw;
                    core->ReportFailure(std::current_exception());
                }
            });
        } catch (...) {
        }
        core->running.store(false);
    }
    core->ending.store(true);
    const bool freeObject = core->freeOnTerminate.load() && !core->abandoned.load();
    core->finished.store(true);
    core->finished.notify_all();
    emit core->receiver->RunEnded();
    t_current = nullptr;
    t_stop = {};
    if (freeObject)
        delete core->object;
}

} // namespace

// ---- TvuEventThread ----

TvuEventThread::TvuEventThread(TvuCustomThread* owner)
    : core_(std::make_shared<ThreadCore>(owner,
                                         owner ? owner->state_ : std::make_shared<OwnerState>())) {
    core_->object = this;
}

TvuEventThread::~TvuEventThread() {
    ThreadCore& c = *core_;
    const bool ownWorker = t_current == &c;
    if (c.started && !c.finished.load() && !c.abandoned.load() && !ownWorker)
        WaitFor();
    if (c.thread.joinable()) {
        // Past its finish handler a run only marks its end: joined. A running one is kept for exit.
        if (ownWorker)
            c.thread.detach();
        else if (!c.finished.load() && !c.ending.load())
            detail::KeepAbandonedWorker(std::move(c.thread), core_);
        else
            c.thread.join();
    }
    c.object = nullptr;
}

void TvuEventThread::Resume() {
    ThreadCore& c = *core_;
    c.suspended = false;
    if (c.started || c.abandoned.load())
        return;
    c.started = true;
    std::lock_guard lock(c.startLock);
    c.thread = std::jthread(ThreadProc, core_, c.onExecute);
}

qint32 TvuEventThread::WaitFor() {
    ThreadCore& c = *core_;
    if (!c.started || t_current == &c)
        return c.returnValue.load();
    if (QCoreApplication::instance() && OnGuiThread()) {
        // The worker's synchronized calls need this thread: keep handling them meanwhile.
        QEventLoop loop;
        QObject::connect(c.receiver, &CallReceiver::RunEnded, &loop, &QEventLoop::quit);
        RunEventLoopUntil(
            loop, [&c] { return c.finished.load(); }, false, QEventLoop::ExcludeUserInputEvents);
    } else {
        c.finished.wait(false);
    }
    if (c.thread.joinable())
        c.thread.join();
    return c.returnValue.load();
}

void TvuEventThread::Synchronize(const TvuThreadMethod& method) {
    SynchronizeCore(*core_, method);
}

void TvuEventThread::SynchronizeCurrent(const TvuThreadMethod& method) {
    if (t_current)
        SynchronizeCore(*t_current, method);
}

void TvuEventThread::PostCurrent(TvuThreadMethod method) {
    if (!t_current || !method || t_current->Silenced())
        return;
    // Queued to the same receiver as the synchronized calls, so it keeps its place among them.
    QObject* receiver = t_current->receiver;
    detail::QueueThroughQt(receiver, [&] {
        QMetaObject::invokeMethod(
            receiver,
            [core = t_current->shared_from_this(), method = std::move(method), receiver] {
                detail::TakeOverThroughQt(receiver);
                if (core->Silenced())
                    return;
                try {
                    method();
                } catch (...) { // a posted call has nobody to carry its failure to
                }
            },
            Qt::QueuedConnection);
    });
}

TThreadPriority TvuEventThread::Priority() const {
    const TThreadPriority stored = core_->priority.load();
    return core_->Live() ? ReadThreadPriority(core_->tid.load(), stored) : stored;
}

void TvuEventThread::SetPriority(TThreadPriority value) {
    core_->priority.store(value);
    if (core_->Live())
        ApplyThreadPriority(core_->tid.load(), value);
}

std::unique_ptr<TvuEventThread> TvuEventThread::Clone() const {
    auto clone = std::make_unique<TvuEventThread>(core_->owner);
    ThreadCore& c = *clone->core_;
    c.ownerState = core_->ownerState;
    c.priority.store(Priority());
    c.onFinish = core_->onFinish;
    c.onExecute = core_->onExecute;
    c.onException = core_->onException;
    return clone;
}

void TvuEventThread::Abandon() {
    if (core_->abandoned.exchange(true))
        return;
    core_->thread.request_stop();
    // Calls of the run still queued will never run: dropping them lets their worker go now.
    QCoreApplication::removePostedEvents(core_->receiver, QEvent::MetaCall);
}

std::stop_token TvuEventThread::CurrentStopToken() {
    return t_stop;
}

void TvuEventThread::SetSuspended(bool value) {
    if (value == Suspended())
        return;
    if (value)
        Suspend();
    else
        Resume();
}

// ---- TvuCustomThread ----

TvuCustomThread::TvuCustomThread(QObject* owner)
    : TvuComponent(owner), state_(std::make_shared<OwnerState>()),
      eventThread_(std::make_unique<TvuEventThread>(this)) {}

TvuCustomThread::~TvuCustomThread() {
    BeginDestroy();
    // A run that has started and not ended is abandoned rather than waited for.
    eventThread_->Abandon();
    eventThread_.reset();
}

void TvuCustomThread::DestroyingStarted() {
    state_->destroying.store(true);
}

void TvuCustomThread::Loaded() {
    TvuComponent::Loaded();
    eventThread_->SetSuspended(suspended_);
}

bool TvuCustomThread::Execute() {
    Terminate(true);
    eventThread_->Resume();
    return true;
}

void TvuCustomThread::Synchronize(const TvuThreadMethod& method) {
    if (Destroying() || !method)
        return;
    if (t_current && t_current->owner == this)
        SynchronizeCore(*t_current, method); // the run whose work calls, current or not
    else if (OnGuiThread())
        SynchronizeCore(*eventThread_->core_, method); // runs directly
}

void TvuCustomThread::Terminate(bool hard) {
    if (!hard) {
        eventThread_->Terminate();
        return;
    }
    eventThread_->Abandon();
    eventThread_ = eventThread_->Clone();
}

void TvuCustomThread::SetSuspended(bool value) {
    suspended_ = value;
    eventThread_->SetSuspended(value);
}

} // namespace vu
