// Worker threads of the upgrade component. A TvuEventThread owns one worker thread that runs an
// execute handler and carries selected calls over to the GUI thread (Synchronize). A
// TvuCustomThread is a component that owns the current TvuEventThread and replaces it by a fresh
// one for every run.
//
// Synchronized calls run on the GUI thread while the worker waits; they are delivered through a
// hidden object on the GUI thread that exists while at least one thread object exists. The GUI
// thread must keep its event loop running (WaitFor and WaitWithMessages do) or a synchronized call
// never completes.
//
// A hard Terminate never kills the worker: it abandons the run. From then on no handler of that
// run is called (no further synchronized call, no OnException, no OnFinish), the run's stop token
// is signalled so its work can stop, the worker ends by itself and frees what it holds, and a
// fresh thread object takes its place at once. Work that may be abandoned must therefore only use
// data that it owns or shares by shared ownership, and should watch StopToken().
#pragma once

#include "upgrade/utils/vuComponent.h"

#include <QtGlobal>

#include <exception>
#include <functional>
#include <memory>
#include <stop_token>

namespace vu {

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// The priority table: tpIdle -15, tpLowest -2, tpLower -1, tpNormal 0, tpHigher 1, tpHighest 2,
// tpTimeCritical 15.
int ThreadPriorityValue(TThreadPriority priority);
// The last table entry with that value; tpNormal when none matches.
TThreadPriority ThreadPriorityFromValue(int value);
// Linux applies a priority as the worker's nice value: tpIdle 19, tpLowest 10, tpLower 5,
// tpNormal 0, tpHigher -5, tpHighest -10, tpTimeCritical -20 (raising needs privileges; when the
// system refuses, the thread keeps its nice value and reads back accordingly).
int ThreadPriorityNice(TThreadPriority priority);
// The entry with that nice value; tpNormal when none matches.
TThreadPriority ThreadPriorityFromNice(int nice);

// Whether the hidden object that receives synchronized calls exists: from the first thread object
// until the last one is gone.
bool ThreadWindowExists();

class TvuCustomThread;
using TvuThreadEvent = std::function<void(TvuCustomThread* Sender)>;
using TvuThreadMethod = std::function<void()>;

namespace detail {
struct ThreadCore;
struct OwnerState;
} // namespace detail

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
    void Suspend();
    void Resume();
    void SetSuspended(bool value);
    bool Suspended() const;

    // Soft stop request, tested once before the work starts.
    void Terminate();
    bool Terminated() const;
    // Waits for the worker's end and returns ReturnValue; on the GUI thread it keeps running the
    // synchronized calls of workers meanwhile. Returns at once when the worker never started.
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
    bool Abandoned() const;
    // Signalled when the run is abandoned.
    std::stop_token StopToken() const;

    bool Running() const;
    bool FreeOnTerminate() const;
    // The worker frees this object (allocated with new, owned by nobody) at its end.
    void SetFreeOnTerminate(bool value);
    qint32 ReturnValue() const;
    void SetReturnValue(qint32 value);
    // The worker's kernel thread id; 0 before it started.
    qint64 ThreadID() const;
    TvuCustomThread* Owner() const;

    TvuThreadEvent OnExecute() const;
    void SetOnExecute(TvuThreadEvent handler);
    TvuThreadEvent OnException() const;
    void SetOnException(TvuThreadEvent handler);
    TvuThreadEvent OnFinish() const;
    void SetOnFinish(TvuThreadEvent handler);

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
    void Suspend();
    // As TvuEventThread::Synchronize for the run whose work calls it (on the GUI thread it runs
    // directly); nothing while the component or its owner is being destroyed.
    void Synchronize(const TvuThreadMethod& method);
    // hard: abandon the run and replace the thread object by its clone; soft: set Terminated.
    void Terminate(bool hard);
    bool Running() const;

    TThreadPriority Priority() const;
    void SetPriority(TThreadPriority value);

    bool Suspended() const { return suspended_; }
    void SetSuspended(bool value);
    bool HandleExceptions() const;
    void SetHandleExceptions(bool value);

    TvuThreadEvent OnExecute() const;
    void SetOnExecute(TvuThreadEvent handler);
    TvuThreadEvent OnException() const;
    void SetOnException(TvuThreadEvent handler);
    TvuThreadEvent OnFinish() const;
    void SetOnFinish(TvuThreadEvent handler);

    TvuEventThread* EventThread() const { return eventThread_.get(); }
    // The current run's stop token (signalled when it is abandoned).
    std::stop_token StopToken() const;
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
