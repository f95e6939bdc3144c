#include "TimedWriter.h"

#include <thread>

namespace kb {

TimedWriter::TimedWriter(WriteFunction write) : shared_(std::make_shared<Shared>(std::move(write))) {}

TimedWriter::~TimedWriter() {
    {
        std::lock_guard guard(shared_->mutex);
        shared_->stop = true;
    }
    shared_->changed.notify_all();
}

HidWriteResult TimedWriter::Write(const uint8_t* data, std::size_t length,
                                  std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    Shared& shared = *shared_;
    std::unique_lock lock(shared.mutex);
    if (!started_) {
        // Detached: the thread holds its own reference to the state and ends when told to stop.
        std::thread([state = shared_] { Run(state); }).detach();
        started_ = true;
    }
    // A write that timed out earlier may still be running: never start a second one beside it.
    if (!shared.changed.wait_until(lock, deadline, [&shared] { return shared.job == nullptr; })) {
        return {HidWriteResult::Status::TimedOut, 0, 0};
    }
    auto job = std::make_shared<Job>();
    job->data.assign(data, data + length);
    shared.job = job;
    shared.changed.notify_all();
    if (!shared.changed.wait_until(lock, deadline, [&job] { return job->done; })) {
        return {HidWriteResult::Status::TimedOut, 0, 0};
    }
    if (job->result < 0) {
        return {HidWriteResult::Status::Failed, 0, job->error};
    }
    return {HidWriteResult::Status::Done, static_cast<int32_t>(job->result), 0};
}

void TimedWriter::Run(const std::shared_ptr<Shared>& shared) {
    std::unique_lock lock(shared->mutex);
    for (;;) {
        shared->changed.wait(
            lock, [&shared] { return shared->stop || (shared->job != nullptr && !shared->job->done); });
        if (shared->job == nullptr || shared->job->done) {
            return;  // stopping and idle
        }
        std::shared_ptr<Job> job = shared->job;
        lock.unlock();
        int error = 0;
        const long result = shared->write(job->data.data(), job->data.size(), error);
        lock.lock();
        job->result = result;
        job->error = error;
        job->done = true;
        shared->job = nullptr;
        shared->changed.notify_all();
    }
}

}  // namespace kb
