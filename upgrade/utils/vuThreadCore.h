// The state of one worker run, shared by its thread object (vuThread.h) and the worker itself:
// the worker keeps it alive after the thread object is gone, which an abandoned run needs.
#pragma once

#include "upgrade/utils/vuThreadPriority.h"

#include <QObject>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace vu {

class TvuCustomThread;
class TvuEventThread;
using TvuThreadEvent = std::function<void(TvuCustomThread* Sender)>;

namespace detail {

// What a component's runs share with it, still readable once it is gone.
struct OwnerState {
    std::atomic<bool> destroying{false};
    std::atomic<bool> handleExceptions{true};
};

// Lives on the GUI thread (the application's thread): the calls of one run are queued to it,
// and waiters there learn from it that the run has ended.
class CallReceiver : public QObject {
    Q_OBJECT
public:
    CallReceiver();
    ~CallReceiver() override;
    // How many exist in the process.
    static int Count();
signals:
    void RunEnded();
};

struct ThreadCore : std::enable_shared_from_this<ThreadCore> {
    ThreadCore(TvuCustomThread* o, std::shared_ptr<OwnerState> state);
    ~ThreadCore();
    ThreadCore(const ThreadCore&) = delete;
    ThreadCore& operator=(const ThreadCore&) = delete;

    TvuCustomThread* const owner; // touched only on the GUI thread, while not silenced
    std::shared_ptr<OwnerState> ownerState;
    CallReceiver* const receiver;
    TvuEventThread* object = nullptr; // for FreeOnTerminate

    // Used only by the thread that controls the object (the GUI thread); the worker gets its own
    // copy of OnExecute when it starts.
    TvuThreadEvent onExecute, onException, onFinish;
    bool suspended = true;
    bool started = false;
    std::jthread thread;
    std::mutex startLock; // held while `thread` is stored; the worker passes it first

    // Shared with the worker.
    std::atomic<TThreadPriority> priority{tpNormal};
    std::atomic<bool> terminated{false}, freeOnTerminate{false}, running{false}, finished{false},
        abandoned{false};
    // The run's work and finish handler are over: what the worker has left ends at once.
    std::atomic<bool> ending{false};
    std::atomic<qint32> returnValue{0};
    std::atomic<qint64> tid{0}; // the worker's kernel thread id once it runs

    // No handler of the run may be called any more.
    bool Silenced() const { return abandoned.load() || ownerState->destroying.load(); }
    // The worker has started and not yet ended.
    bool Live() const { return started && !finished.load() && tid.load() != 0; }
    // GUI thread: runs OnException with the failure visible through ExceptionObject().
    void ReportFailure(std::exception_ptr failure) const;
};

} // namespace detail
} // namespace vu
