#include "TimedWriter.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace kb {
namespace {

// A device whose writes block until the test lets them through.
struct GatedDevice {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    int started = 0;
    int failWith = 0;
    std::vector<std::vector<uint8_t>> written;

    long Write(const uint8_t* data, std::size_t length, int& error) {
        std::unique_lock lock(mutex);
        ++started;
        changed.wait(lock, [this] { return open; });
        if (failWith != 0) {
            error = failWith;
            return -1;
        }
        written.emplace_back(data, data + length);
        return static_cast<long>(length);
    }
    void Open() {
        {
            std::lock_guard guard(mutex);
            open = true;
        }
        changed.notify_all();
    }
};

TEST(TimedWriter, TimedOutWriteFinishesAloneAndTheNextOneWorks) {
    GatedDevice device;
    TimedWriter writer([&device](const uint8_t* d, std::size_t n, int& e) { return device.Write(d, n, e); });

    std::vector<uint8_t> first = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(writer.Write(first.data(), first.size(), std::chrono::milliseconds(20)).status,
              HidWriteResult::Status::TimedOut);
    first.assign(8, 0xEE);  // the caller's buffer is free again after the time-out

    // The stuck write is not joined by a second one.
    const uint8_t second[3] = {9, 9, 9};
    EXPECT_EQ(writer.Write(second, 3, std::chrono::milliseconds(20)).status,
              HidWriteResult::Status::TimedOut);

    device.Open();
    const uint8_t third[2] = {7, 7};
    const HidWriteResult result = writer.Write(third, 2, std::chrono::seconds(30));
    EXPECT_EQ(result.status, HidWriteResult::Status::Done);
    EXPECT_EQ(result.bytes, 2);
    std::lock_guard guard(device.mutex);
    EXPECT_EQ(device.started, 2);
    EXPECT_EQ(device.written, (std::vector<std::vector<uint8_t>>{{1, 2, 3, 4, 5, 6, 7, 8}, {7, 7}}));
}

TEST(TimedWriter, ReportsTheSystemError) {
    GatedDevice device;
    device.failWith = EIO;
    device.Open();
    TimedWriter writer([&device](const uint8_t* d, std::size_t n, int& e) { return device.Write(d, n, e); });
    const uint8_t data[8] = {};
    const HidWriteResult result = writer.Write(data, 8, std::chrono::seconds(30));
    EXPECT_EQ(result.status, HidWriteResult::Status::Failed);
    EXPECT_EQ(result.error, EIO);
    EXPECT_EQ(result.bytes, 0);
}

// Set when the write function (and so what it owns, the descriptor in the program) is destroyed.
struct FreedSignal {
    std::mutex mutex;
    std::condition_variable changed;
    bool freed = false;
};

struct Owned {
    explicit Owned(FreedSignal& s) : signal(s) {}
    ~Owned() {
        std::lock_guard guard(signal.mutex);
        signal.freed = true;
        signal.changed.notify_all();
    }
    FreedSignal& signal;
};

TEST(TimedWriter, DestructionReturnsAtOnceAndTheStuckWriteFreesItsStateAlone) {
    GatedDevice device;
    FreedSignal signal;
    {
        auto owned = std::make_shared<Owned>(signal);
        TimedWriter writer(
            [&device, owned](const uint8_t* d, std::size_t n, int& e) { return device.Write(d, n, e); });
        owned.reset();
        const uint8_t data[1] = {5};
        EXPECT_EQ(writer.Write(data, 1, std::chrono::milliseconds(10)).status,
                  HidWriteResult::Status::TimedOut);
        // The write is still stuck here (the gate is shut): destruction must not wait for it.
    }
    {
        std::lock_guard guard(signal.mutex);
        EXPECT_FALSE(signal.freed) << "the stuck write's function was freed under it";
    }
    device.Open();
    std::unique_lock lock(signal.mutex);
    EXPECT_TRUE(signal.changed.wait_for(lock, std::chrono::seconds(30), [&signal] { return signal.freed; }));
    std::lock_guard guard(device.mutex);
    EXPECT_EQ(device.written, (std::vector<std::vector<uint8_t>>{{5}}));
}

TEST(TimedWriter, AnIdleWriterFreesItsStateWhenDestroyed) {
    FreedSignal signal;
    {
        auto owned = std::make_shared<Owned>(signal);
        TimedWriter writer([owned](const uint8_t*, std::size_t n, int&) { return static_cast<long>(n); });
        owned.reset();
        const uint8_t data[1] = {5};
        EXPECT_EQ(writer.Write(data, 1, std::chrono::seconds(30)).status, HidWriteResult::Status::Done);
    }
    std::unique_lock lock(signal.mutex);
    EXPECT_TRUE(signal.changed.wait_for(lock, std::chrono::seconds(30), [&signal] { return signal.freed; }));
}

}  // namespace
}  // namespace kb
