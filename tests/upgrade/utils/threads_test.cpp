// Waiting with a live event loop, and the worker threads with their synchronized calls.
#include "tests/support/event_loop_wait.h"
#include "tests/support/poll_wait.h"
#include "upgrade/utils/vuThread.h"
#include "upgrade/utils/vuUtils.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

using namespace vu;

namespace {

constexpr quint32 kLongWait = 20000; // bound of every wait that should end far sooner

bool OnGui() {
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

using vutest::WaitFor;

// A gate a worker blocks on until opened or its run is abandoned.
struct Gate {
    std::mutex m;
    std::condition_variable_any cv;
    bool open = false;
    // True when opened, false when the stop token fired first.
    bool Pass(std::stop_token stop) {
        std::unique_lock lock(m);
        return cv.wait_for(lock, stop, std::chrono::milliseconds(kLongWait), [&] { return open; });
    }
    void Open() {
        std::lock_guard lock(m);
        open = true;
        cv.notify_all();
    }
};

// Set when the worker thread that armed it has ended (thread-local destructors run at exit).
struct ExitFlag {
    std::atomic<bool>* flag = nullptr;
    ~ExitFlag() {
        if (flag)
            flag->store(true);
    }
};
thread_local ExitFlag t_exitFlag;

} // namespace

TEST(UtilsWait, EndedBySignalFromAnotherThread) {
    TvuEventHandle event{0};
    std::atomic<bool> timerRan{false};
    QTimer::singleShot(0, [&] { timerRan = true; });
    std::thread signaller([&] {
        // Wait (bounded) for the handle to be published, then set it.
        vutest::PollUntil([&] { return event.load() > 0; }, std::chrono::milliseconds(kLongWait),
                          std::chrono::milliseconds(1));
        SignalEvent(event.load());
    });
    QElapsedTimer clock;
    clock.start();
    WaitWithMessages(event, kLongWait, false);
    signaller.join();
    EXPECT_LT(clock.elapsed(), kLongWait / 2);
    EXPECT_EQ(event.load(), -1);
    // Events kept running during the wait only if the signal came late; the timer is at most
    // pending. Either way it must run once events are processed.
    EXPECT_TRUE(WaitFor([&] { return timerRan.load(); }));
}

TEST(UtilsWait, EndedByTimeOutWhileEventsRun) {
    TvuEventHandle event{0};
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(5);
    QElapsedTimer clock;
    clock.start();
    WaitWithMessages(event, 200, false);
    const qint64 elapsed = clock.elapsed();
    EXPECT_GE(elapsed, 195);
    EXPECT_LT(elapsed, 10000);
    EXPECT_GT(ticks, 0); // the window's events were handled during the wait
    EXPECT_EQ(event.load(), -1);

    // Handles 0 and -1, and a handle already closed, are ignored.
    SignalEvent(0);
    SignalEvent(-1);
    SignalEvent(event.load());
}

TEST(UtilsWait, SignalBeforeTheLoopRunsIsNotLost) {
    TvuEventHandle event{0};
    QTimer::singleShot(0, [&] { SignalEvent(event.load()); });
    QElapsedTimer clock;
    clock.start();
    WaitWithMessages(event, kLongWait, false);
    EXPECT_LT(clock.elapsed(), kLongWait / 2);
}

TEST(UtilsWait, ApplicationQuitEndsOnlyWaitsThatStopOnTerminate) {
    qint64 stopping = -1, continuing = -1;
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(10, [] { QCoreApplication::exit(0); });
        TvuEventHandle event{0};
        QElapsedTimer clock;
        clock.start();
        WaitWithMessages(event, kLongWait, true);
        stopping = clock.elapsed();
        clock.restart();
        // Without stopOnTerminate the wait goes on to its time-out even after the quit.
        WaitWithMessages(event, 150, false);
        continuing = clock.elapsed();
    });
    QCoreApplication::exec();
    EXPECT_GE(stopping, 0);
    EXPECT_LT(stopping, kLongWait / 2);
    EXPECT_GE(continuing, 145);
}

TEST(UtilsPriority, TableAndNiceValues) {
    EXPECT_EQ(ThreadPriorityValue(tpIdle), -15);
    EXPECT_EQ(ThreadPriorityValue(tpTimeCritical), 15);
    EXPECT_EQ(ThreadPriorityFromValue(2), tpHighest);
    EXPECT_EQ(ThreadPriorityFromValue(-1), tpLower);
    EXPECT_EQ(ThreadPriorityFromValue(3), tpNormal); // outside the table
    EXPECT_EQ(ThreadPriorityFromValue(-7), tpNormal);
    for (TThreadPriority p :
         {tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical}) {
        EXPECT_EQ(ThreadPriorityFromNice(ThreadPriorityNice(p)), p);
        EXPECT_EQ(ThreadPriorityFromValue(ThreadPriorityValue(p)), p);
    }
    EXPECT_EQ(ThreadPriorityFromNice(3), tpNormal);
}

namespace {

// Records what the handlers of one component saw.
struct Recorder {
    std::atomic<int> executes{0}, exceptions{0}, finishes{0}, syncs{0};
    std::atomic<bool> executeOnGui{true}, syncOnGui{false}, finishOnGui{false};
    std::string exceptionText;
    std::vector<std::string> order;
};

} // namespace

TEST(UtilsThread, RunReportsOnTheGuiThreadAndRunningClears) {
    TvuCustomThread thread;
    Recorder r;
    bool runningDuringWork = false, nestedRan = false;
    thread.SetOnExecute([&](TvuCustomThread* sender) {
        EXPECT_EQ(sender, &thread);
        r.executeOnGui = OnGui();
        ++r.executes;
        sender->Synchronize([&] {
            r.syncOnGui = OnGui();
            runningDuringWork = thread.Running();
            // Already on the GUI thread: runs at once instead of waiting for itself.
            sender->Synchronize([&] { nestedRan = OnGui(); });
            ++r.syncs;
        });
    });
    thread.SetOnFinish([&](TvuCustomThread*) {
        r.finishOnGui = OnGui();
        ++r.finishes;
    });
    EXPECT_FALSE(thread.Running());
    EXPECT_TRUE(thread.Execute());
    ASSERT_TRUE(WaitFor([&] { return r.finishes.load() == 1; }));
    EXPECT_FALSE(r.executeOnGui);
    EXPECT_TRUE(r.syncOnGui);
    EXPECT_TRUE(r.finishOnGui);
    EXPECT_TRUE(runningDuringWork);
    EXPECT_TRUE(nestedRan);
    thread.EventThread()->WaitFor();
    EXPECT_FALSE(thread.Running());

    // A caller that refuses to start while Running can start again now.
    EXPECT_TRUE(thread.Execute());
    ASSERT_TRUE(WaitFor([&] { return r.finishes.load() == 2; }));
    EXPECT_EQ(r.executes.load(), 2);
    EXPECT_EQ(r.syncs.load(), 2);
}

TEST(UtilsThread, SecondExecuteAbandonsTheFirstRun) {
    TvuCustomThread thread;
    std::atomic<int> run{0}, syncs{0}, finishes{0}, exceptions{0};
    std::atomic<bool> firstStopped{false}, firstStarted{false}, firstEnded{false};
    auto gate = std::make_shared<Gate>();
    thread.SetOnExecute([&, gate](TvuCustomThread* sender) {
        if (++run != 1)
            return;
        t_exitFlag.flag = &firstEnded;
        firstStarted = true;
        firstStopped = !gate->Pass(TvuEventThread::CurrentStopToken());
        // The run is abandoned: neither this call nor any later handler of it may run.
        sender->Synchronize([&] { ++syncs; });
        throw std::runtime_error("after abandon");
    });
    thread.SetOnException([&](TvuCustomThread*) { ++exceptions; });
    thread.SetOnFinish([&](TvuCustomThread*) { ++finishes; });
    thread.Execute();
    ASSERT_TRUE(WaitFor([&] { return firstStarted.load(); }));
    TvuEventThread* first = thread.EventThread();
    thread.Execute();
    EXPECT_NE(thread.EventThread(), first);
    // The abandoned worker ends by itself; anything it might still have posted is then handled.
    ASSERT_TRUE(WaitFor([&] { return finishes.load() >= 1 && firstEnded.load(); }));
    thread.EventThread()->WaitFor();
    QCoreApplication::processEvents();
    EXPECT_TRUE(firstStopped); // told to stop, not left hanging on its gate
    EXPECT_EQ(run.load(), 2);
    EXPECT_EQ(syncs.load(), 0);
    EXPECT_EQ(exceptions.load(), 0);
    EXPECT_EQ(finishes.load(), 1); // the second run's only
}

TEST(UtilsThread, HardTerminateFromInsideASynchronizedCallWaitsForTheCallToEnd) {
    // A handler that aborts the transfer it was called for abandons the worker from inside the
    // worker's synchronized call. The call still uses the worker's stack (its function object and
    // what it refers to): the worker may leave Synchronize only once the call has ended.
    TvuCustomThread thread;
    std::mutex m;
    std::condition_variable cv;
    bool left = false;
    std::atomic<bool> callEnded{false}, workerEnded{false};
    bool leftDuringTheCall = false;
    thread.SetOnExecute([&](TvuCustomThread* sender) {
        t_exitFlag.flag = &workerEnded;
        sender->Synchronize([&] {
            thread.Terminate(true);
            std::unique_lock lock(m);
            leftDuringTheCall =
                cv.wait_for(lock, std::chrono::milliseconds(300), [&] { return left; });
            callEnded = true;
        });
        std::lock_guard lock(m);
        left = true;
        cv.notify_all();
    });
    thread.Execute();
    ASSERT_TRUE(WaitFor([&] { return callEnded.load(); }));
    EXPECT_FALSE(leftDuringTheCall);
    // Then the abandoned worker leaves and ends by itself.
    ASSERT_TRUE(WaitFor([&] { return workerEnded.load(); }));
}

TEST(UtilsThread, HiddenWindowLivesWithTheThreadObjects) {
    // Earlier tests left no thread object behind.
    EXPECT_FALSE(ThreadWindowExists());
    auto* a = new TvuCustomThread;
    EXPECT_TRUE(ThreadWindowExists());
    auto* b = new TvuCustomThread;
    delete a;
    EXPECT_TRUE(ThreadWindowExists());
    // The application has no main window: freeing the last one waits until the window is gone.
    QElapsedTimer clock;
    clock.start();
    delete b;
    EXPECT_FALSE(ThreadWindowExists());
    EXPECT_LT(clock.elapsed(), 10000);
}

TEST(UtilsThread, DestroyingANeverStartedComponentRunsNothing) {
    Recorder r;
    {
        TvuCustomThread thread;
        thread.SetOnExecute([&](TvuCustomThread*) { ++r.executes; });
        thread.SetOnFinish([&](TvuCustomThread*) { ++r.finishes; });
        thread.SetOnException([&](TvuCustomThread*) { ++r.exceptions; });
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(r.executes.load() + r.finishes.load() + r.exceptions.load(), 0);
}

TEST(UtilsThread, DestroyingDuringARunCallsNoFurtherHandler) {
    // Where the worker is when its component goes: inside its work, or waiting for a synchronized
    // call that the GUI thread has not run (it handles no events meanwhile).
    for (bool waitingForCall : {false, true}) {
        SCOPED_TRACE(waitingForCall ? "waiting for a call" : "in its work");
        std::atomic<int> calls{0};
        std::atomic<bool> started{false}, ended{false}, stopped{false};
        auto gate = std::make_shared<Gate>();
        auto* thread = new TvuCustomThread;
        // The work keeps only what it owns: `sender` may be gone once the run is abandoned.
        thread->SetOnExecute([&, gate, waitingForCall](TvuCustomThread*) {
            t_exitFlag.flag = &ended;
            started = true;
            if (waitingForCall)
                TvuEventThread::SynchronizeCurrent([&] { ++calls; });
            else
                stopped = !gate->Pass(TvuEventThread::CurrentStopToken());
            throw std::runtime_error("late failure");
        });
        thread->SetOnException([&](TvuCustomThread*) { ++calls; });
        thread->SetOnFinish([&](TvuCustomThread*) { ++calls; });
        thread->Execute();
        ASSERT_TRUE(vutest::PollUntil([&] { return started.load(); },
                                      std::chrono::milliseconds(kLongWait),
                                      std::chrono::milliseconds(1)));
        delete thread;
        // Let go without the GUI thread running its call.
        ASSERT_TRUE(vutest::PollUntil([&] { return ended.load(); },
                                      std::chrono::milliseconds(kLongWait),
                                      std::chrono::milliseconds(1)));
        QCoreApplication::processEvents();
        EXPECT_EQ(stopped.load(), !waitingForCall);
        EXPECT_EQ(calls.load(), 0);
    }
}

TEST(UtilsThread, ThrowingWorkGivesOneExceptionThenOneFinish) {
    TvuCustomThread thread;
    Recorder r;
    thread.SetOnExecute([&](TvuCustomThread*) {
        ++r.executes;
        throw std::runtime_error("broken download");
    });
    thread.SetOnException([&](TvuCustomThread* sender) {
        ++r.exceptions;
        r.order.push_back("exception");
        try {
            std::rethrow_exception(sender->ExceptionObject());
        } catch (const std::runtime_error& e) {
            r.exceptionText = e.what();
        }
    });
    thread.SetOnFinish([&](TvuCustomThread*) {
        ++r.finishes;
        r.order.push_back("finish");
    });
    thread.Execute();
    ASSERT_TRUE(WaitFor([&] { return r.finishes.load() == 1; }));
    thread.EventThread()->WaitFor();
    QCoreApplication::processEvents();
    EXPECT_EQ(r.exceptions.load(), 1);
    EXPECT_EQ(r.finishes.load(), 1);
    EXPECT_EQ(r.order, (std::vector<std::string>{"exception", "finish"}));
    EXPECT_EQ(r.exceptionText, "broken download");
    EXPECT_FALSE(thread.ExceptionObject());
}

TEST(UtilsThread, ThrowingFinishGoesToOnException) {
    TvuCustomThread thread;
    Recorder r;
    thread.SetOnExecute([&](TvuCustomThread*) { ++r.executes; });
    thread.SetOnException([&](TvuCustomThread*) { ++r.exceptions; });
    thread.SetOnFinish([&](TvuCustomThread*) {
        ++r.finishes;
        throw std::logic_error("finish failed");
    });
    thread.Execute();
    ASSERT_TRUE(WaitFor([&] { return r.exceptions.load() == 1; }));
    EXPECT_EQ(r.finishes.load(), 1);
}

TEST(UtilsThread, SynchronizedFailuresReachTheWorkerOnlyWithoutHandling) {
    for (bool handle : {true, false}) {
        TvuCustomThread thread;
        thread.SetHandleExceptions(handle);
        std::atomic<bool> caught{false}, ran{false}, done{false};
        std::string text;
        thread.SetOnExecute([&](TvuCustomThread* sender) {
            try {
                sender->Synchronize([&] {
                    ran = true;
                    throw std::runtime_error("from the GUI thread");
                });
            } catch (const std::runtime_error& e) {
                caught = true;
                text = e.what();
            }
            done = true;
        });
        thread.Execute();
        ASSERT_TRUE(WaitFor([&] { return done.load(); }));
        thread.EventThread()->WaitFor();
        EXPECT_TRUE(ran);
        EXPECT_EQ(caught.load(), !handle);
        if (!handle) {
            EXPECT_EQ(text, "from the GUI thread");
        }
    }
}

TEST(UtilsThread, UnhandledWorkFailureStillFinishes) {
    TvuCustomThread thread;
    thread.SetHandleExceptions(false);
    std::atomic<int> exceptions{0}, finishes{0};
    thread.SetOnExecute([](TvuCustomThread*) { throw 42; });
    thread.SetOnException([&](TvuCustomThread*) { ++exceptions; });
    thread.SetOnFinish([&](TvuCustomThread*) { ++finishes; });
    thread.Execute();
    ASSERT_TRUE(WaitFor([&] { return finishes.load() == 1; }));
    EXPECT_EQ(exceptions.load(), 0);
}

TEST(UtilsThread, WaitForKeepsSynchronizedCallsRunning) {
    TvuCustomThread thread;
    std::atomic<int> syncs{0};
    thread.SetOnExecute([&](TvuCustomThread* sender) {
        for (int i = 0; i < 50; ++i)
            sender->Synchronize([&] { ++syncs; });
        sender->EventThread()->SetReturnValue(7);
    });
    thread.Execute();
    // Blocking on the GUI thread without an event loop: the calls must still get through.
    EXPECT_EQ(thread.EventThread()->WaitFor(), 7);
    EXPECT_EQ(syncs.load(), 50);
    EXPECT_FALSE(thread.Running());
}

TEST(UtilsThread, SoftTerminateBeforeTheStartRunsNothing) {
    TvuCustomThread owner;
    std::atomic<int> calls{0};
    TvuEventThread worker(&owner);
    worker.SetOnExecute([&](TvuCustomThread*) { ++calls; });
    worker.SetOnFinish([&](TvuCustomThread*) { ++calls; });
    worker.Terminate();
    EXPECT_TRUE(worker.Terminated());
    worker.Resume();
    worker.WaitFor();
    EXPECT_EQ(calls.load(), 0);
    EXPECT_FALSE(worker.Running());
}

TEST(UtilsThread, PriorityIsAppliedToTheWorker) {
    TvuCustomThread thread;
    auto gate = std::make_shared<Gate>();
    std::atomic<qint64> tid{0};
    std::atomic<int> niceSeen{-100};
    thread.SetPriority(tpLower);
    thread.SetOnExecute([&, gate](TvuCustomThread*) {
        errno = 0;
        niceSeen = getpriority(PRIO_PROCESS, 0);
        tid = static_cast<qint64>(syscall(SYS_gettid)); // published last: the test waits on it
        gate->Pass(TvuEventThread::CurrentStopToken());
    });
    EXPECT_EQ(thread.Priority(), tpLower);
    thread.Execute(); // the clone keeps the priority
    ASSERT_TRUE(WaitFor([&] { return tid.load() != 0; }));
    EXPECT_EQ(niceSeen.load(), 5);
    EXPECT_EQ(thread.Priority(), tpLower);
    thread.SetPriority(tpIdle);
    EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(tid.load())), 19);
    EXPECT_EQ(thread.Priority(), tpIdle);
    // Lowering a nice value needs privileges; the value outside the table reads as normal.
    if (setpriority(PRIO_PROCESS, static_cast<id_t>(tid.load()), 3) == 0) {
        EXPECT_EQ(thread.Priority(), tpNormal);
    }
    gate->Open();
    thread.EventThread()->WaitFor();
}
