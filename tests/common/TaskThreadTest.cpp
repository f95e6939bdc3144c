#include "kb/common/TaskThread.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ManualTaskClock.h"

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

namespace kb {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;

using ManualClock = kbtest::ManualTaskClock;

// Polls `done` for up to a few seconds; the timeout only keeps a broken build from hanging.
template <typename Pred>
bool Eventually(Pred done) {
    for (int i = 0; i < 5000; ++i) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(1ms);
    }
    return done();
}

class Recorder {
  public:
    TaskThread::Operation Op() {
        return [this](int argument) {
            std::lock_guard g(mutex_);
            runs_.push_back(argument);
        };
    }
    std::vector<int> Runs() {
        std::lock_guard g(mutex_);
        return runs_;
    }
    std::size_t Count() { return Runs().size(); }

  private:
    std::mutex mutex_;
    std::vector<int> runs_;
};

TEST(TaskThreadTest, RunsTasksInPostingOrderEachAfterItsDelay) {
    auto clock = std::make_shared<ManualClock>();
    Recorder rec;
    TaskThread tasks(clock);
    tasks.Post(rec.Op(), 1);
    tasks.Post(rec.Op(), 2);
    tasks.Post(rec.Op(), 3, 0ms);
    EXPECT_TRUE(tasks.Start());
    EXPECT_FALSE(tasks.Start());  // already running

    ASSERT_TRUE(Eventually([&] { return tasks.PendingCount() == 2; }));  // first task taken, waiting
    const int waits = clock->BlockingWaits();
    clock->Advance(1999ms);
    ASSERT_TRUE(Eventually([&] { return clock->BlockingWaits() > waits; }));  // woke, saw 1999, waits on
    EXPECT_EQ(rec.Count(), 0u);
    clock->Advance(1ms);
    ASSERT_TRUE(Eventually([&] { return rec.Count() == 1; }));

    // The second task's delay starts when it is taken, after the first has run: once taken (the queue
    // is read under the thread's lock, which it gives up only to wait) it waits for the clock.
    ASSERT_TRUE(Eventually([&] { return tasks.PendingCount() == 1; }));
    EXPECT_EQ(rec.Count(), 1u);
    clock->Advance(2000ms);
    ASSERT_TRUE(Eventually([&] { return rec.Count() == 3; }));
    EXPECT_THAT(rec.Runs(), ElementsAre(1, 2, 3));

    // An idle thread still takes work that arrives later.
    tasks.Post(rec.Op(), 4, 0ms);
    ASSERT_TRUE(Eventually([&] { return rec.Count() == 4; }));
    EXPECT_TRUE(tasks.Stop(true));
    EXPECT_FALSE(tasks.Stop(true));
}

TEST(TaskThreadTest, RealClockShortDelaysKeepOrder) {
    Recorder rec;
    TaskThread tasks;
    tasks.Start();
    for (int i = 0; i < 5; ++i) {
        tasks.Post(rec.Op(), i, std::chrono::milliseconds(3 - i % 3));
    }
    ASSERT_TRUE(Eventually([&] { return rec.Count() == 5; }));
    EXPECT_THAT(rec.Runs(), ElementsAre(0, 1, 2, 3, 4));
}

TEST(TaskThreadTest, StoppingDuringADelayDropsThatTaskAndKeepsTheRestQueued) {
    auto clock = std::make_shared<ManualClock>();
    Recorder rec;
    TaskThread tasks(clock);
    tasks.Start();
    tasks.Post(rec.Op(), 1);
    tasks.Post(rec.Op(), 2);
    ASSERT_TRUE(Eventually([&] { return tasks.PendingCount() == 1; }));
    EXPECT_TRUE(tasks.Stop(true));  // returns without the clock moving
    EXPECT_FALSE(tasks.IsRunning());
    clock->Advance(10000ms);
    EXPECT_EQ(rec.Count(), 0u);
    EXPECT_EQ(tasks.PendingCount(), 1u);

    // A new start picks up what is still queued.
    EXPECT_TRUE(tasks.Start());
    ASSERT_TRUE(Eventually([&] { return tasks.PendingCount() == 0; }));
    clock->Advance(2000ms);
    ASSERT_TRUE(Eventually([&] { return rec.Count() == 1; }));
    EXPECT_THAT(rec.Runs(), ElementsAre(2));
}

TEST(TaskThreadTest, StopWithoutWaitingThenTeardownFreesQueuedTasks) {
    auto clock = std::make_shared<ManualClock>();
    auto alive = std::make_shared<int>(0);
    std::weak_ptr<int> watch = alive;
    {
        TaskThread tasks(clock);
        tasks.Start();
        tasks.Post([alive](int) {}, 1);
        tasks.Post([alive](int) {}, 2);
        alive.reset();
        ASSERT_TRUE(Eventually([&] { return tasks.PendingCount() == 1; }));
        EXPECT_TRUE(tasks.Stop(false));
        EXPECT_FALSE(watch.expired());
    }
    EXPECT_TRUE(watch.expired());  // the destructor awaited the thread and dropped every task
}

TEST(TaskThreadTest, ATaskRunningDuringStopFinishesFirst) {
    std::atomic<bool> entered{false};
    std::atomic<bool> release{false};
    std::atomic<bool> finished{false};
    TaskThread tasks;
    tasks.Start();
    tasks.Post(
        [&](int) {
            entered = true;
            while (!release) {
                std::this_thread::sleep_for(1ms);
            }
            finished = true;
        },
        0, 0ms);
    Recorder rec;
    tasks.Post(rec.Op(), 1, 0ms);
    ASSERT_TRUE(Eventually([&] { return entered.load(); }));
    std::thread stopper([&] { tasks.Stop(true); });
    // Let the task finish only once the stop has been asked for, however slowly the stopper starts.
    EXPECT_TRUE(Eventually([&] { return !tasks.IsRunning(); }));
    release = true;
    stopper.join();
    EXPECT_TRUE(finished);
    EXPECT_EQ(rec.Count(), 0u);  // nothing runs after the stop request
}

// A steady clock that says when it is freed, that is when the last owner of the thread's state let go.
class FreedClock final : public TaskClock {
  public:
    explicit FreedClock(std::promise<void>& freed) : freed_(freed) {}
    ~FreedClock() override { freed_.set_value(); }
    TimePoint Now() override { return std::chrono::steady_clock::now(); }
    void WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                   TimePoint deadline) override {
        cv.wait_until(lock, deadline);
    }

  private:
    std::promise<void>& freed_;
};

TEST(TaskThreadTest, ATaskMayDestroyItsOwnTaskThread) {
    std::promise<void> freed;
    std::future<void> threadDone = freed.get_future();
    auto* tasks = new TaskThread(std::make_shared<FreedClock>(freed));
    Recorder rec;
    std::promise<void> deleted;
    std::promise<void> secondPosted;  // the object must still exist when the test posts to it
    std::shared_future<void> secondPostedFuture = secondPosted.get_future().share();
    bool sharedAfterDelete = false;
    tasks->Start();
    tasks->Post(
        [&](int) {
            secondPostedFuture.wait();
            delete tasks;
            // The running thread still holds the state: deleting the object did not free it.
            sharedAfterDelete = threadDone.wait_for(0s) == std::future_status::timeout;
            deleted.set_value();
        },
        0, 0ms);
    tasks->Post(rec.Op(), 1, 0ms);
    secondPosted.set_value();
    ASSERT_EQ(deleted.get_future().wait_for(10s), std::future_status::ready);
    EXPECT_TRUE(sharedAfterDelete);
    // The thread leaves its loop on its own and lets go of what it shared with the deleted object.
    ASSERT_EQ(threadDone.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(rec.Count(), 0u);  // the queue went with the object
}

TEST(TaskThreadTest, NeverStartedThreadRunsNothing) {
    Recorder rec;
    {
        TaskThread tasks;
        tasks.Post(rec.Op(), 1, 0ms);
        EXPECT_FALSE(tasks.Stop(true));
        EXPECT_FALSE(tasks.IsRunning());
    }
    EXPECT_EQ(rec.Count(), 0u);
}

}  // namespace
}  // namespace kb
