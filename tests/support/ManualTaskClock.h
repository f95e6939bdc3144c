// Task thread time that moves only when the test says so.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "kb/common/TaskThread.h"

namespace kbtest {

class ManualTaskClock final : public kb::TaskClock {
  public:
    TimePoint Now() override;
    void WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                   TimePoint deadline) override;
    void Advance(std::chrono::milliseconds by);

    // How often the thread went to sleep on this clock: once more after it has seen a move of time that
    // did not reach its deadline.
    int BlockingWaits() const { return blockingWaits_.load(); }

  private:
    std::atomic<int64_t> nowMs_{0};
    std::atomic<int> blockingWaits_{0};
    std::mutex mutex_;
    std::condition_variable* cv_ = nullptr;
    std::mutex* waiterMutex_ = nullptr;
};

}  // namespace kbtest
