// Worker threads of the upgrade component. A TvuEventThread owns one worker thread that runs an
// execute handler and carries selected calls over to the GUI thread (Synchronize). A
// TvuCustomThread is a component that owns the current TvuEventThread and replaces it by a fresh
// one for every run.
//
// Synchronized calls run on the GUI thread while the worker waits: they are queued to a receiver
// of the thread object that lives on the GUI thread (the application's thread), so the GUI thread
// must keep handling events (WaitFor and WaitWithMessages do) or a synchronized call never
// completes. Without any application object there is no GUI thread to wait for: such calls run
// directly on the thread that makes them.
//
// A hard Terminate never kills the worker: it abandons the run. From then on no handler of that
// run is called (no further synchronized call, no OnException, no OnFinish), the run's stop token
// is signalled so its work can stop, the worker ends by itself and frees what it holds, and a
// fresh thread object takes its place at once. Work that may be abandoned must therefore only use
// data that it owns or shares by shared ownership, and should watch StopToken().
#pragma once

#include "upgrade/utils/vuComponent.h"
#include "upgrade/utils/vuThreadCore.h"
#include "upgrade/utils/vuThreadPriority.h"

#include <QtGlobal>

#include <exception>
#include <functional>
#include <memory>
#include <stop_token>
#include <utility>

namespace vu {

// Whether a receiver of synchronized calls exists: one lives with every thread object, and with an
// abandoned worker until it ends.
bool ThreadWindowExists();

using TvuThreadMethod = std::function<void()>;

// The object is controlled from one thread (the GUI thread): its handlers, Suspend, Resume and
// WaitFor are used there; the worker reads what it shares through atomics.
class TvuEventThread {
public:
    // A new thread object, held suspended: its worker starts on the first Resume.
    explicit TvuEventThread(TvuCustomThread* owner);
    // Waits for a run in progress (handling synchronized calls meanwhile), unless the run has
    // been abandoned; a worker never started is simply dropped.
    ~TvuEventThread();
    TvuEventThread(const TvuEventThread&) = delete;
    TvuEventThread& operator=(const TvuEventThread&) = delete;

    // Linux cannot hold a running thread: Suspend only keeps a worker that has not started from
    // starting. Resume starts it.
    void Suspend() { core_->suspended = true; }
    void Resume();
    void SetSuspended(bool value);
    bool Suspended() const { return core_->suspended; }

    // Soft stop request, tested once before the work starts.
    void Terminate() { core_->terminated.store(true); }
    bool Terminated() const { return core_->terminated.load(); }
    // Waits for the worker's end and returns ReturnValue; on the GUI thread it runs an event loop
    // meanwhile (without user input), which handles the synchronized calls of workers. Returns at
    // once when the worker never started.
    qint32 WaitFor();

    // Runs `method` on the GUI thread and waits for it (called on the worker; called on the GUI
    // thread it runs directly). What the method throws is carried back and thrown here only when
    // the owner's HandleExceptions is false. Does nothing once the run is abandoned.
    void Synchronize(const TvuThreadMethod& method);

    TThreadPriority Priority() const;
    void SetPriority(TThreadPriority value);

    // A fresh suspended thread object for the same owner with the same priority and handlers.
    std::unique_ptr<TvuEventThread> Clone() const;

    // Abandons the run (see the top of this file). Called by TvuCustomThread::Terminate(true).
    void Abandon();
    bool Abandoned() const { return core_->abandoned.load(); }
    // Signalled when the run is abandoned; empty before the worker starts.
    std::stop_token StopToken() const { return core_->thread.get_stop_token(); }

    bool Running() const { return core_->running.load(); }
    bool FreeOnTerminate() const { return core_->freeOnTerminate.load(); }
    // The worker frees this object (allocated with new, owned by nobody) at its end.
    void SetFreeOnTerminate(bool value) { core_->freeOnTerminate.store(value); }
    qint32 ReturnValue() const { return core_->returnValue.load(); }
    void SetReturnValue(qint32 value) { core_->returnValue.store(value); }
    // The worker's kernel thread id; 0 before it started.
    qint64 ThreadID() const { return core_->tid.load(); }
    TvuCustomThread* Owner() const { return core_->owner; }

    TvuThreadEvent OnExecute() const { return core_->onExecute; }
    void SetOnExecute(TvuThreadEvent handler) { core_->onExecute = std::move(handler); }
    TvuThreadEvent OnException() const { return core_->onException; }
    void SetOnException(TvuThreadEvent handler) { core_->onException = std::move(handler); }
    TvuThreadEvent OnFinish() const { return core_->onFinish; }
    void SetOnFinish(TvuThreadEvent handler) { core_->onFinish = std::move(handler); }

    // On a worker: the stop token of the run it executes (empty token elsewhere).
    static std::stop_token CurrentStopToken();
    // On a worker: Synchronize for the run it executes, without touching the component or the
    // thread object (which may be gone once the run is abandoned). Nothing on other threads.
    static void SynchronizeCurrent(const TvuThreadMethod& method);
    // On a worker: queues `method` to run on the GUI thread after the run's earlier synchronized
    // and posted calls and before its later ones (OnFinish included), and returns at once. Not
    // run once the run is abandoned; what it throws is dropped. Nothing on other threads.
    static void PostCurrent(TvuThreadMethod method);

private:
    friend class TvuCustomThread;
    std::shared_ptr<detail::ThreadCore> core_;
};

class TvuCustomThread : public TvuComponent {
    Q_OBJECT
public:
    explicit TvuCustomThread(QObject* owner = nullptr);
    // Abandons a run in progress; runs no handler.
    ~TvuCustomThread() override;

    // Applies Suspended.
    void Loaded() override;

    // Abandons the current thread object (finished or not), starts a fresh one; returns true. The
    // run proceeds asynchronously; its end is reported through OnFinish.
    bool Execute();
    void Suspend() { eventThread_->Suspend(); }
    // As TvuEventThread::Synchronize for the run whose work calls it (on the GUI thread it runs
    // directly); nothing while the component or its owner is being destroyed.
    void Synchronize(const TvuThreadMethod& method);
    // hard: abandon the run and replace the thread object by its clone; soft: set Terminated.
    void Terminate(bool hard);
    bool Running() const { return eventThread_->Running(); }

    TThreadPriority Priority() const { return eventThread_->Priority(); }
    void SetPriority(TThreadPriority value) { eventThread_->SetPriority(value); }

    bool Suspended() const { return suspended_; }
    void SetSuspended(bool value);
    bool HandleExceptions() const { return state_->handleExceptions.load(); }
    void SetHandleExceptions(bool value) { state_->handleExceptions.store(value); }

    // Stored into the current thread object (and carried over to its clones).
    TvuThreadEvent OnExecute() const { return eventThread_->OnExecute(); }
    void SetOnExecute(TvuThreadEvent h) { eventThread_->SetOnExecute(std::move(h)); }
    TvuThreadEvent OnException() const { return eventThread_->OnException(); }
    void SetOnException(TvuThreadEvent h) { eventThread_->SetOnException(std::move(h)); }
    TvuThreadEvent OnFinish() const { return eventThread_->OnFinish(); }
    void SetOnFinish(TvuThreadEvent h) { eventThread_->SetOnFinish(std::move(h)); }

    TvuEventThread* EventThread() const { return eventThread_.get(); }
    // The current run's stop token (signalled when it is abandoned).
    std::stop_token StopToken() const { return eventThread_->StopToken(); }
    // While OnException runs: what was thrown.
    std::exception_ptr ExceptionObject() const { return exceptionObject_; }

private:
    friend class TvuEventThread;
    friend struct detail::ThreadCore;
    void DestroyingStarted() override;

    // Shared with every thread object of this component, so that an abandoned worker can still
    // read it after the component is gone.
    std::shared_ptr<detail::OwnerState> state_;
    std::unique_ptr<TvuEventThread> eventThread_;
    bool suspended_ = true;
    std::exception_ptr exceptionObject_;
};

} // namespace vu
