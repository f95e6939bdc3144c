#include "TimedWriter.h"

namespace kb {

TimedWriter::TimedWriter(WriteFunction write) : write_(std::move(write)) {}

TimedWriter::~TimedWriter() {
    {
        std::lock_guard guard(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (worker_.joinable()) {
        worker_.join();
    }
}

HidWriteResult TimedWriter::Write(const uint8_t* data, std::size_t length,
                                  std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(mutex_);
    if (!worker_.joinable()) {
        worker_ = std::thread([this] { Run(); });
    }
    // A write that timed out earlier may still be running: never start a second one beside it.
    if (!changed_.wait_until(lock, deadline, [this] { return job_ == nullptr; })) {
        return {HidWriteResult::Status::TimedOut, 0, 0};
    }
    auto job = std::make_shared<Job>();
    job->data.assign(data, data + length);
    job_ = job;
    changed_.notify_all();
    if (!changed_.wait_until(lock, deadline, [&job] { return job->done; })) {
        return {HidWriteResult::Status::TimedOut, 0, 0};
    }
    if (job->result < 0) {
        return {HidWriteResult::Status::Failed, 0, job->error};
    }
    return {HidWriteResult::Status::Done, static_cast<int32_t>(job->result), 0};
}

void TimedWriter::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || (job_ != nullptr && !job_->done); });
        if (job_ == nullptr || job_->done) {
            return;  // stopping and idle
        }
        std::shared_ptr<Job> job = job_;
        lock.unlock();
        int error = 0;
        const long result = write_(job->data.data(), job->data.size(), error);
        lock.lock();
        job->result = result;
        job->error = error;
        job->done = true;
        job_ = nullptr;
        changed_.notify_all();
    }
}

}  // namespace kb
