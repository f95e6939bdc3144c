// Runs blocking writes on one worker thread and waits for each at most a time-out. A write that times out
// keeps running on the worker with its own copy of the data; the next write waits (within its own
// time-out) until the worker is free, so writes never overlap. The worker co-owns its state with the
// writer: destroying the writer returns at once, and a write still stuck finishes and frees that state
// (with the write function and what it holds) on its own.
#pragma once

#include "HidChannel.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace kb {

class TimedWriter {
  public:
    // Returns the bytes written, or -1 with `error` set.
    using WriteFunction = std::function<long(const uint8_t* data, std::size_t length, int& error)>;

    explicit TimedWriter(WriteFunction write);
    // Never waits for a write still running: the worker ends after it.
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
    struct Shared {
        explicit Shared(WriteFunction w) : write(std::move(w)) {}
        WriteFunction write;
        std::mutex mutex;
        std::condition_variable changed;
        std::shared_ptr<Job> job;  // the job the worker has or will take; null when it is free
        bool stop = false;
    };
    static void Run(const std::shared_ptr<Shared>& shared);

    std::shared_ptr<Shared> shared_;
    bool started_ = false;  // guarded by shared_->mutex
};

}  // namespace kb
