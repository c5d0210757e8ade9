// Progress events on their way from a worker to the GUI thread: all of them, once each and in
// order, before the worker's end, in far fewer hand-overs than events; none after the receiver
// lets go; and a worker held back by a full queue goes on at once when the queue is stopped.

#include "tests/support/event_loop_wait.h"
#include "upgrade/http/vuProgressQueue.h"
#include "upgrade/utils/vuThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

using namespace vu;
using vutest::WaitFor;

namespace {

// Records what is raised (as its BytesRead); lets go once `letGoAt` events have been raised
// (0: never); refuses every delivery that need not happen now while `busy` is set.
struct Recorder : TvuProgressReceiver {
    bool BeginDelivery(bool wait) override {
        if (!wait && busy.load())
            return false;
        EXPECT_FALSE(delivering);
        delivering = true;
        raisedBefore = raised.size();
        return true;
    }
    bool Raise(const TvuProgressEvent& event) override {
        EXPECT_TRUE(delivering);
        if (letGo)
            return false;
        raised.push_back(event.BytesRead);
        letGo = raised.size() == letGoAt;
        return !letGo;
    }
    void EndDelivery() override {
        delivering = false;
        if (raised.size() > raisedBefore)
            ++deliveries;
    }

    size_t letGoAt = 0;
    std::atomic<bool> busy{false};
    bool delivering = false, letGo = false;
    std::vector<quint32> raised;
    size_t raisedBefore = 0;
    size_t deliveries = 0; // that raised something
};

// Pushes events 1..count in groups of `group` on a worker, then drains the queue.
struct Worker {
    Worker(std::shared_ptr<TvuProgressQueue> queue, quint32 count, quint32 group) {
        thread.SetOnExecute([=, this](TvuCustomThread*) {
            std::vector<TvuProgressEvent> events;
            for (quint32 next = 1; next <= count && refused == 0;) {
                events.clear();
                for (; events.size() < group && next <= count; ++next)
                    events.push_back({next, {}});
                if (queue->Push(events.data(), events.size()))
                    pushed += static_cast<quint32>(events.size());
                else
                    refused = events.front().BytesRead;
            }
            queue->Drain();
            drained = true;
        });
        thread.SetOnFinish([this](TvuCustomThread*) { finished = true; });
        thread.Execute();
    }
    TvuCustomThread thread;
    std::atomic<quint32> pushed{0}, refused{0};
    std::atomic<bool> drained{false};
    bool finished = false; // GUI thread
};

TEST(ProgressQueue, RaisesEveryEventOnceInOrderUntilLetGo) {
    constexpr auto kMax = static_cast<quint32>(TvuProgressQueue::kMaxQueued);
    struct Case {
        const char* name;
        quint32 events;
        quint32 group;
        size_t letGoAt;
    } cases[] = {
        {"one by one, more than the queue holds", 3 * kMax + 5, 1, 0},
        {"in groups that straddle the limit", 2 * kMax + 1, 7, 0},
        {"a handful", 3, 2, 0},
        {"let go in the middle", 2 * kMax, 5, kMax / 2 + 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto recorder = std::make_shared<Recorder>();
        recorder->letGoAt = c.letGoAt;
        auto queue = std::make_shared<TvuProgressQueue>(recorder);
        Worker worker(queue, c.events, c.group);
        ASSERT_TRUE(WaitFor([&] { return worker.finished; }));
        EXPECT_TRUE(worker.drained);
        EXPECT_EQ(worker.refused, 0u);
        const size_t expected = c.letGoAt != 0 ? c.letGoAt : c.events;
        ASSERT_EQ(recorder->raised.size(), expected);
        for (size_t i = 0; i < expected; ++i)
            ASSERT_EQ(recorder->raised[i], i + 1) << "at " << i;
        // Handed over in batches, not one event at a time.
        EXPECT_LE(recorder->deliveries, 2 + c.events / 100);
    }
}

TEST(ProgressQueue, StopLetsAWorkerHeldBackByAFullQueueGoOn) {
    constexpr auto kMax = static_cast<quint32>(TvuProgressQueue::kMaxQueued);
    auto recorder = std::make_shared<Recorder>();
    recorder->busy = true; // the GUI thread never gets to the events
    auto queue = std::make_shared<TvuProgressQueue>(recorder);
    Worker worker(queue, 2 * kMax, 1);
    // Every event but the one that fills the queue went in; that push waits for room.
    ASSERT_TRUE(WaitFor([&] { return worker.pushed == kMax - 1; }));
    EXPECT_FALSE(worker.finished);
    queue->Stop();
    ASSERT_TRUE(WaitFor([&] { return worker.finished; }));
    EXPECT_EQ(worker.refused, kMax);
    EXPECT_EQ(worker.pushed, kMax - 1);
    EXPECT_TRUE(worker.drained);
    EXPECT_TRUE(recorder->raised.empty());
}

} // namespace
