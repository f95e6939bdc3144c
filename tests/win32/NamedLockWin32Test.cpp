#include "kb/device/NamedLock.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace kb {
namespace {

// Whether another thread could take the system mutex of that name right now. The probe runs on its own
// thread: a Win32 mutex is re-entrant for its owner, so the owner's thread would always succeed.
bool TakenElsewhere(const wchar_t* name) {
    bool taken = false;
    std::thread probe([&] {
        HANDLE mutex = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name);
        ASSERT_NE(mutex, nullptr) << "no system mutex named so";
        const DWORD wait = WaitForSingleObject(mutex, 0);
        taken = wait == WAIT_TIMEOUT;
        if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
            ReleaseMutex(mutex);
        }
        CloseHandle(mutex);
    });
    probe.join();
    return taken;
}

TEST(NamedLockWin32Test, ReentrantOnOneThreadAndHeldAgainstOthersUntilTheOutermostUnlock) {
    NamedLock& lock = NamedLock::Get("kbstudio-test::Reentrant");
    lock.lock();
    EXPECT_TRUE(TakenElsewhere(L"kbstudio-test::Reentrant")) << "the lock is a named system mutex";
    lock.lock();  // the same thread again: must not deadlock
    lock.unlock();
    EXPECT_TRUE(TakenElsewhere(L"kbstudio-test::Reentrant")) << "still held by the outer lock";
    lock.unlock();
    EXPECT_FALSE(TakenElsewhere(L"kbstudio-test::Reentrant"));
    EXPECT_EQ(&lock, &NamedLock::Get("kbstudio-test::Reentrant"));
}

TEST(NamedLockWin32Test, ExclusiveAcrossThreads) {
    // Two lock objects of one name stand for two processes; two threads take them in turns.
    NamedLock first("kbstudio-test::Exclusive");
    NamedLock second("kbstudio-test::Exclusive");
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    auto work = [&](NamedLock& lock) {
        for (int i = 0; i < 2000; ++i) {
            lock.lock();
            if (inside.fetch_add(1) != 0) {
                overlapped = true;
            }
            std::this_thread::yield();
            inside.fetch_sub(1);
            lock.unlock();
        }
    };
    std::vector<std::thread> threads;
    threads.emplace_back(work, std::ref(first));
    threads.emplace_back(work, std::ref(second));
    threads.emplace_back(work, std::ref(NamedLock::Get("kbstudio-test::Exclusive")));
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_FALSE(overlapped);
}

}  // namespace
}  // namespace kb
