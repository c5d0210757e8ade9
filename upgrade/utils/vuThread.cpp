#include "upgrade/utils/vuThread.h"
#include "upgrade/utils/vuApplicationState.h"
#include "upgrade/utils/vuWaitEvents.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace vu {

// ---- Priorities ----

namespace {

struct PriorityEntry {
    TThreadPriority priority;
    int value; // the table's number
    int nice;  // what Linux applies
};

constexpr PriorityEntry kPriorities[] = {
    {tpIdle, -15, 19}, {tpLowest, -2, 10},  {tpLower, -1, 5},          {tpNormal, 0, 0},
    {tpHigher, 1, -5}, {tpHighest, 2, -10}, {tpTimeCritical, 15, -20},
};

} // namespace

int ThreadPriorityValue(TThreadPriority priority) {
    for (const auto& e : kPriorities) {
        if (e.priority == priority)
            return e.value;
    }
    return 0;
}

TThreadPriority ThreadPriorityFromValue(int value) {
    TThreadPriority result = tpNormal;
    for (const auto& e : kPriorities) {
        if (e.value == value)
            result = e.priority;
    }
    return result;
}

int ThreadPriorityNice(TThreadPriority priority) {
    for (const auto& e : kPriorities) {
        if (e.priority == priority)
            return e.nice;
    }
    return 0;
}

TThreadPriority ThreadPriorityFromNice(int nice) {
    TThreadPriority result = tpNormal;
    for (const auto& e : kPriorities) {
        if (e.nice == nice)
            result = e.priority;
    }
    return result;
}

// ---- Shared state ----

namespace detail {

struct OwnerState {
    std::atomic<bool> destroying{false};
    std::atomic<bool> handleExceptions{true};
};

struct ThreadCore : std::enable_shared_from_this<ThreadCore> {
    TvuCustomThread* owner = nullptr; // touched only on the GUI thread, while not abandoned
    std::shared_ptr<OwnerState> ownerState;
    TvuEventThread* object = nullptr; // for FreeOnTerminate

    // Guarded by g_lock.
    TvuThreadEvent onExecute, onException, onFinish;
    TThreadPriority priority = tpNormal;
    bool suspended = true;
    bool terminated = false;
    bool freeOnTerminate = false;
    bool started = false;
    bool finished = false;
    qint32 returnValue = 0;
    std::thread thread;

    // The pending synchronized call, guarded by g_lock.
    TvuThreadMethod pending;
    std::exception_ptr syncException;
    std::atomic<bool> syncDone{false}; // set by the GUI thread when the call has run
    bool syncRunning = false;          // the GUI thread has taken the call and not yet finished it
    std::atomic<bool> workerSleeping{false}; // the worker waits on syncCv
    std::condition_variable syncCv;
    std::condition_variable finishedCv;

    std::atomic<bool> running{false};
    std::atomic<bool> abandoned{false};
    std::atomic<qint64> tid{0};
    std::stop_source stop;

    bool Silenced() const { return abandoned.load() || ownerState->destroying.load(); }

    // Runs an exception handler with the failure visible through ExceptionObject().
    static void CallExceptionHandler(const TvuThreadEvent& handler, TvuCustomThread* owner,
                                     std::exception_ptr failure) {
        owner->exceptionObject_ = failure;
        struct Reset {
            TvuCustomThread* o;
            ~Reset() { o->exceptionObject_ = nullptr; }
        } reset{owner};
        handler(owner);
    }
};

} // namespace detail

using detail::OwnerState;
using detail::ThreadCore;

namespace {

// The hidden object on the GUI thread that receives synchronized calls.
class ThreadWindow : public QObject {
public:
    bool event(QEvent* e) override;
};

const QEvent::Type kSyncEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// The window lock: guards the count, the window, the queue of pending calls and the cores' fields.
// Never destroyed: an abandoned worker may still pass through them while the program exits.
std::mutex& g_lock = *new std::mutex;
int g_count = 0;
ThreadWindow* g_window = nullptr;
// A queued call: a synchronized one (its method waits in the core's pending slot and its worker
// waits for it) or a posted one (carried here; its worker goes on).
struct QueuedCall {
    std::shared_ptr<ThreadCore> core;
    TvuThreadMethod posted;
};
std::deque<QueuedCall>& g_queue = *new std::deque<QueuedCall>;
std::condition_variable& g_guiCv = *new std::condition_variable; // wakes a GUI thread in WaitFor
int g_guiWaiters = 0;                                            // how many are blocked there
int g_windowUsers = 0; // workers posting to the window outside the lock
TvuEventHandle g_releaseEvent{0};

thread_local ThreadCore* t_current = nullptr;

bool OnGuiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

// Runs one pending call on the GUI thread and hands the outcome back to its worker. The worker
// watches syncDone; only a worker that went to sleep needs the lock and a notification.
void RunPending(const std::shared_ptr<ThreadCore>& core, const TvuThreadMethod& method) {
    std::exception_ptr failure;
    if (method && !core->Silenced()) {
        try {
            method();
        } catch (...) {
            failure = std::current_exception();
        }
    }
    core->syncException = failure; // read by the worker only after it has seen syncDone
    {
        std::lock_guard lock(g_lock);
        core->syncRunning = false;
    }
    core->syncDone.store(true, std::memory_order_seq_cst);
    if (core->workerSleeping.load(std::memory_order_seq_cst)) {
        // Passing through the lock orders this after the worker's last look at syncDone; the
        // notification itself comes after it, so the woken worker does not block on the lock.
        { std::lock_guard lock(g_lock); }
        core->syncCv.notify_all();
    }
}

void DrainQueue() {
    for (;;) {
        QueuedCall call;
        bool synchronized = false;
        {
            std::lock_guard lock(g_lock);
            if (g_queue.empty())
                return;
            call = std::move(g_queue.front());
            g_queue.pop_front();
            synchronized = !call.posted;
            if (synchronized) {
                call.posted = std::move(call.core->pending);
                call.core->pending = nullptr;
                call.core->syncRunning = true;
            }
        }
        if (synchronized) {
            RunPending(call.core, call.posted);
        } else if (!call.core->Silenced()) {
            // A posted call has nobody to carry its failure to: what it throws ends with it.
            try {
                call.posted();
            } catch (...) {
            }
        }
    }
}

bool ThreadWindow::event(QEvent* e) {
    if (e->type() != kSyncEvent)
        return QObject::event(e);
    DrainQueue();
    return true;
}

void ReleaseWindow() {
    ThreadWindow* window = nullptr;
    bool gone = false;
    {
        std::lock_guard lock(g_lock);
        if (g_count == 0 && g_window && g_windowUsers == 0) {
            window = g_window;
            g_window = nullptr;
            g_queue.clear(); // only calls of abandoned runs can be left
        }
        gone = g_window == nullptr;
    }
    delete window;
    // A worker still posting to the window releases it when done (see SynchronizeCore).
    if (gone)
        SignalEvent(g_releaseEvent.load());
}

void AddThreadObject() {
    std::lock_guard lock(g_lock);
    if (g_count == 0 && !g_window) {
        g_window = new ThreadWindow;
        if (QCoreApplication* app = QCoreApplication::instance(); app && !OnGuiThread())
            g_window->moveToThread(app->thread());
    }
    ++g_count;
}

void RemoveThreadObject() {
    bool last = false;
    {
        std::lock_guard lock(g_lock);
        last = --g_count == 0;
    }
    if (!last)
        return;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QCoreApplication::closingDown()) {
        if (OnGuiThread())
            ReleaseWindow();
        return;
    }
    QMetaObject::invokeMethod(
        app, [] { ReleaseWindow(); }, Qt::QueuedConnection);
    if (!OnGuiThread() || ApplicationHasMainWindow())
        return;
    bool windowLeft = false;
    {
        std::lock_guard lock(g_lock);
        windowLeft = g_count == 0 && g_window;
    }
    if (windowLeft)
        WaitWithMessages(g_releaseEvent, 10000, false);
}

// Appends a call to the queue (under g_lock, held by `lock`) and wakes the GUI thread for it.
void Enqueue(std::unique_lock<std::mutex>& lock, QueuedCall call) {
    ThreadWindow* window = g_queue.empty() ? g_window : nullptr;
    g_queue.push_back(std::move(call));
    if (g_guiWaiters > 0)
        g_guiCv.notify_all();
    if (window) {
        // Posted outside the lock, so that the GUI thread waking up does not run into it; the
        // window stays alive meanwhile through the users count.
        ++g_windowUsers;
        lock.unlock();
        QCoreApplication::postEvent(window, new QEvent(kSyncEvent));
        lock.lock();
        if (--g_windowUsers == 0 && g_count == 0) {
            if (QCoreApplication* app = QCoreApplication::instance())
                QMetaObject::invokeMethod(
                    app, [] { ReleaseWindow(); }, Qt::QueuedConnection);
        }
    }
}

// Queues `method` for the GUI thread after the run's earlier calls, without waiting for it.
void PostCore(const std::shared_ptr<ThreadCore>& core, TvuThreadMethod method) {
    if (!method || core->Silenced())
        return;
    std::unique_lock lock(g_lock);
    if (!g_window)
        return;
    Enqueue(lock, QueuedCall{core, std::move(method)});
}

// Runs `method` on the GUI thread for the run of `core` and waits for it.
void SynchronizeCore(const std::shared_ptr<ThreadCore>& core, const TvuThreadMethod& method) {
    if (!method || core->Silenced())
        return;
    std::exception_ptr failure;
    if (OnGuiThread()) {
        try {
            method();
        } catch (...) {
            failure = std::current_exception();
        }
    } else {
        std::unique_lock lock(g_lock);
        if (!g_window)
            return;
        core->pending = method;
        core->syncException = nullptr;
        core->syncDone.store(false, std::memory_order_relaxed);
        Enqueue(lock, QueuedCall{core, nullptr});
        // No spinning: on a busy machine a spinning worker keeps the GUI thread it waits for off
        // the processor (measured slower here).
        core->workerSleeping.store(true, std::memory_order_seq_cst);
        // An abandoned run stops waiting, unless its call is running: the call may be what
        // abandoned it (an abort from a handler), and it uses the worker's stack until it ends.
        core->syncCv.wait(lock, [&] {
            return core->syncDone.load(std::memory_order_seq_cst) ||
                   (core->abandoned.load() && !core->syncRunning);
        });
        core->workerSleeping.store(false);
        if (!core->syncDone.load())
            return; // abandoned: the call will never run
        lock.unlock();
        failure = std::exchange(core->syncException, nullptr);
    }
    if (failure && !core->ownerState->handleExceptions.load())
        std::rethrow_exception(failure);
}

qint64 CurrentTid() {
    return static_cast<qint64>(syscall(SYS_gettid));
}

void ApplyNice(qint64 tid, TThreadPriority priority) {
    const int target = ThreadPriorityNice(priority);
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (errno == 0 && current == target)
        return;
    // Raising a priority needs privileges; when refused the thread keeps its value.
    setpriority(PRIO_PROCESS, static_cast<id_t>(tid), target);
}

void ThreadProc(std::shared_ptr<ThreadCore> core) {
    t_current = core.get();
    core->tid.store(CurrentTid());
    TvuThreadEvent onExecute, onException, onFinish;
    bool terminated = false;
    {
        std::lock_guard lock(g_lock);
        ApplyNice(core->tid.load(), core->priority);
        terminated = core->terminated;
        onExecute = core->onExecute;
        onException = core->onException;
        onFinish = core->onFinish;
    }
    TvuCustomThread* owner = core->owner;
    if (!terminated) {
        core->running.store(true);
        if (onExecute && !core->Silenced()) {
            if (core->ownerState->handleExceptions.load()) {
                try {
                    onExecute(owner);
                } catch (...) {
                    const std::exception_ptr failure = std::current_exception();
                    if (onException && !core->Silenced()) {
                        try {
                            SynchronizeCore(core, [core, owner, failure] {
                                TvuThreadEvent handler;
                                {
                                    std::lock_guard lock(g_lock);
                                    handler = core->onException;
                                }
                                if (handler)
                                    ThreadCore::CallExceptionHandler(handler, owner, failure);
                            });
                        } catch (...) {
                        }
                    }
                }
            } else {
                // Unguarded: what escapes ends the work here; an exception must not leave the
                // thread, which would end the whole program.
                try {
                    onExecute(owner);
                } catch (...) {
                }
            }
        }
        if (onFinish) {
            try {
                SynchronizeCore(core, [core, owner] {
                    TvuThreadEvent finish, exception;
                    {
                        std::lock_guard lock(g_lock);
                        finish = core->onFinish;
                        exception = core->onException;
                    }
                    if (!finish || core->Silenced())
                        return;
                    if (!core->ownerState->handleExceptions.load()) {
                        finish(owner);
                        return;
                    }
                    try {
                        finish(owner);
                    } catch (...) {
                        if (exception && !core->Silenced())
                            ThreadCore::CallExceptionHandler(exception, owner,
                                                             std::current_exception());
                    }
                });
            } catch (...) {
            }
        }
        core->running.store(false);
    }
    bool freeObject = false;
    {
        std::lock_guard lock(g_lock);
        core->finished = true;
        freeObject = core->freeOnTerminate && !core->abandoned.load();
        core->finishedCv.notify_all();
        g_guiCv.notify_all();
    }
    t_current = nullptr;
    if (freeObject)
        delete core->object;
}

} // namespace

bool ThreadWindowExists() {
    std::lock_guard lock(g_lock);
    return g_window != nullptr;
}

// ---- TvuEventThread ----

TvuEventThread::TvuEventThread(TvuCustomThread* owner) : core_(std::make_shared<ThreadCore>()) {
    core_->owner = owner;
    core_->ownerState = owner ? owner->state_ : std::make_shared<OwnerState>();
    core_->object = this;
    AddThreadObject();
}

TvuEventThread::~TvuEventThread() {
    const bool ownWorker = t_current == core_.get();
    bool wait = false;
    {
        std::lock_guard lock(g_lock);
        wait = core_->started && !core_->finished && !core_->abandoned.load() && !ownWorker;
    }
    if (wait)
        WaitFor();
    RemoveThreadObject();
    std::lock_guard lock(g_lock);
    if (core_->thread.joinable()) {
        if (ownWorker || !core_->finished)
            core_->thread.detach(); // an abandoned worker ends by itself
        else
            core_->thread.join();
    }
    core_->object = nullptr;
}

void TvuEventThread::Suspend() {
    std::lock_guard lock(g_lock);
    core_->suspended = true;
}

void TvuEventThread::Resume() {
    std::lock_guard lock(g_lock);
    core_->suspended = false;
    if (core_->started || core_->abandoned.load())
        return;
    core_->started = true;
    core_->thread = std::thread(ThreadProc, core_);
}

void TvuEventThread::SetSuspended(bool value) {
    if (value == Suspended())
        return;
    if (value)
        Suspend();
    else
        Resume();
}

bool TvuEventThread::Suspended() const {
    std::lock_guard lock(g_lock);
    return core_->suspended;
}

void TvuEventThread::Terminate() {
    std::lock_guard lock(g_lock);
    core_->terminated = true;
}

bool TvuEventThread::Terminated() const {
    std::lock_guard lock(g_lock);
    return core_->terminated;
}

qint32 TvuEventThread::WaitFor() {
    std::unique_lock lock(g_lock);
    if (!core_->started)
        return core_->returnValue;
    if (OnGuiThread() && t_current != core_.get()) {
        // Keep running the workers' synchronized calls, or this worker could never finish.
        while (!core_->finished) {
            ++g_guiWaiters;
            g_guiCv.wait(lock, [&] { return core_->finished || !g_queue.empty(); });
            --g_guiWaiters;
            if (core_->finished)
                break;
            lock.unlock();
            DrainQueue();
            lock.lock();
        }
    } else if (t_current != core_.get()) {
        core_->finishedCv.wait(lock, [&] { return core_->finished; });
    }
    if (core_->finished && core_->thread.joinable() && t_current != core_.get()) {
        lock.unlock();
        core_->thread.join();
        lock.lock();
    }
    return core_->returnValue;
}

void TvuEventThread::Synchronize(const TvuThreadMethod& method) {
    SynchronizeCore(core_, method);
}

void TvuEventThread::SynchronizeCurrent(const TvuThreadMethod& method) {
    if (t_current)
        SynchronizeCore(t_current->shared_from_this(), method);
}

void TvuEventThread::PostCurrent(TvuThreadMethod method) {
    if (t_current)
        PostCore(t_current->shared_from_this(), std::move(method));
}

TThreadPriority TvuEventThread::Priority() const {
    std::lock_guard lock(g_lock);
    const qint64 tid = core_->tid.load();
    if (core_->started && !core_->finished && tid != 0) {
        errno = 0;
        const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
        if (errno == 0)
            return ThreadPriorityFromNice(nice);
    }
    return core_->priority;
}

void TvuEventThread::SetPriority(TThreadPriority value) {
    std::lock_guard lock(g_lock);
    core_->priority = value;
    const qint64 tid = core_->tid.load();
    if (core_->started && !core_->finished && tid != 0)
        ApplyNice(tid, value);
}

std::unique_ptr<TvuEventThread> TvuEventThread::Clone() const {
    auto clone = std::make_unique<TvuEventThread>(core_->owner);
    clone->core_->ownerState = core_->ownerState;
    const TThreadPriority priority = Priority();
    std::lock_guard lock(g_lock);
    clone->core_->priority = priority;
    clone->core_->onFinish = core_->onFinish;
    clone->core_->onExecute = core_->onExecute;
    clone->core_->onException = core_->onException;
    return clone;
}

void TvuEventThread::Abandon() {
    {
        std::lock_guard lock(g_lock);
        if (core_->abandoned.exchange(true))
            return;
        core_->syncCv.notify_all();
    }
    core_->stop.request_stop();
}

bool TvuEventThread::Abandoned() const {
    return core_->abandoned.load();
}

std::stop_token TvuEventThread::StopToken() const {
    return core_->stop.get_token();
}

bool TvuEventThread::Running() const {
    return core_->running.load();
}

bool TvuEventThread::FreeOnTerminate() const {
    std::lock_guard lock(g_lock);
    return core_->freeOnTerminate;
}

void TvuEventThread::SetFreeOnTerminate(bool value) {
    std::lock_guard lock(g_lock);
    core_->freeOnTerminate = value;
}

qint32 TvuEventThread::ReturnValue() const {
    std::lock_guard lock(g_lock);
    return core_->returnValue;
}

void TvuEventThread::SetReturnValue(qint32 value) {
    std::lock_guard lock(g_lock);
    core_->returnValue = value;
}

qint64 TvuEventThread::ThreadID() const {
    return core_->tid.load();
}

TvuCustomThread* TvuEventThread::Owner() const {
    return core_->owner;
}

TvuThreadEvent TvuEventThread::OnExecute() const {
    std::lock_guard lock(g_lock);
    return core_->onExecute;
}

void TvuEventThread::SetOnExecute(TvuThreadEvent handler) {
    std::lock_guard lock(g_lock);
    core_->onExecute = std::move(handler);
}

TvuThreadEvent TvuEventThread::OnException() const {
    std::lock_guard lock(g_lock);
    return core_->onException;
}

void TvuEventThread::SetOnException(TvuThreadEvent handler) {
    std::lock_guard lock(g_lock);
    core_->onException = std::move(handler);
}

TvuThreadEvent TvuEventThread::OnFinish() const {
    std::lock_guard lock(g_lock);
    return core_->onFinish;
}

void TvuEventThread::SetOnFinish(TvuThreadEvent handler) {
    std::lock_guard lock(g_lock);
    core_->onFinish = std::move(handler);
}

std::stop_token TvuEventThread::CurrentStopToken() {
    return t_current ? t_current->stop.get_token() : std::stop_token();
}

// ---- TvuCustomThread ----

TvuCustomThread::TvuCustomThread(QObject* owner)
    : TvuComponent(owner), state_(std::make_shared<OwnerState>()),
      eventThread_(std::make_unique<TvuEventThread>(this)) {}

TvuCustomThread::~TvuCustomThread() {
    BeginDestroy();
    if (eventThread_) {
        // A run that has started and not ended is abandoned rather than waited for; no handler
        // of it runs any more.
        eventThread_->Abandon();
        eventThread_.reset();
    }
}

void TvuCustomThread::DestroyingStarted() {
    state_->destroying.store(true);
}

void TvuCustomThread::Loaded() {
    TvuComponent::Loaded();
    if (eventThread_)
        eventThread_->SetSuspended(suspended_);
}

bool TvuCustomThread::Execute() {
    Terminate(true);
    if (eventThread_)
        eventThread_->Resume();
    return true;
}

void TvuCustomThread::Suspend() {
    if (eventThread_)
        eventThread_->Suspend();
}

void TvuCustomThread::Synchronize(const TvuThreadMethod& method) {
    if (Destroying() || !method)
        return;
    if (t_current && t_current->owner == this) {
        // Called by the work of one of our runs: use that run, even if it is no longer current.
        SynchronizeCore(t_current->shared_from_this(), method);
        return;
    }
    if (eventThread_ && OnGuiThread())
        SynchronizeCore(eventThread_->core_, method); // runs directly
}

void TvuCustomThread::Terminate(bool hard) {
    if (!eventThread_)
        return;
    if (!hard) {
        eventThread_->Terminate();
        return;
    }
    eventThread_->Abandon();
    std::unique_ptr<TvuEventThread> clone = eventThread_->Clone();
    std::swap(eventThread_, clone);
    clone.reset();
}

bool TvuCustomThread::Running() const {
    return eventThread_ && eventThread_->Running();
}

TThreadPriority TvuCustomThread::Priority() const {
    return eventThread_ ? eventThread_->Priority() : tpNormal;
}

void TvuCustomThread::SetPriority(TThreadPriority value) {
    if (eventThread_)
        eventThread_->SetPriority(value);
}

void TvuCustomThread::SetSuspended(bool value) {
    suspended_ = value;
    if (eventThread_)
        eventThread_->SetSuspended(value);
}

bool TvuCustomThread::HandleExceptions() const {
    return state_->handleExceptions.load();
}

void TvuCustomThread::SetHandleExceptions(bool value) {
    state_->handleExceptions.store(value);
}

TvuThreadEvent TvuCustomThread::OnExecute() const {
    return eventThread_ ? eventThread_->OnExecute() : TvuThreadEvent();
}

void TvuCustomThread::SetOnExecute(TvuThreadEvent handler) {
    if (eventThread_)
        eventThread_->SetOnExecute(std::move(handler));
}

TvuThreadEvent TvuCustomThread::OnException() const {
    return eventThread_ ? eventThread_->OnException() : TvuThreadEvent();
}

void TvuCustomThread::SetOnException(TvuThreadEvent handler) {
    if (eventThread_)
        eventThread_->SetOnException(std::move(handler));
}

TvuThreadEvent TvuCustomThread::OnFinish() const {
    return eventThread_ ? eventThread_->OnFinish() : TvuThreadEvent();
}

void TvuCustomThread::SetOnFinish(TvuThreadEvent handler) {
    if (eventThread_)
        eventThread_->SetOnFinish(std::move(handler));
}

std::stop_token TvuCustomThread::StopToken() const {
    return eventThread_ ? eventThread_->StopToken() : std::stop_token();
}

} // namespace vu
