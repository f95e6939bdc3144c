// Runs blocking writes on one worker thread and waits for each at most a time-out. A write that times out
// keeps running on the worker with its own copy of the data; the next write waits (within its own
// time-out) until the worker is free, so writes never overlap and no thread or buffer is left behind.
#pragma once

#include "HidChannel.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kb {

class TimedWriter {
  public:
    // Returns the bytes written, or -1 with `error` set.
    using WriteFunction = std::function<long(const uint8_t* data, std::size_t length, int& error)>;

    explicit TimedWriter(WriteFunction write);
    // Waits for a write still running on the worker.
    ~TimedWriter();
    TimedWriter(const TimedWriter&) = delete;
    TimedWriter& operator=(const TimedWriter&) = delete;

    HidWriteResult Write(const uint8_t* data, std::size_t length, std::chrono::milliseconds timeout);

  private:
    struct Job {
        std::vector<uint8_t> data;
        bool done = false;
        long result = -1;
        int error = 0;
    };
    void Run();

    WriteFunction write_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::shared_ptr<Job> job_;  // the job the worker has or will take; null when it is free
    bool stop_ = false;
    std::thread worker_;
};

}  // namespace kb
