#include <map>
#include <mutex>
#include <string>

#include "Win32Api_win32.h"
#include "kb/common/Utf.h"
#include "kb/device/NamedLock.h"

namespace kb {

// A recursive in-process mutex in front of the named system mutex: the threads of this process queue on
// the first, so the system mutex is taken and released once per outermost lock, and the lock still works
// when the system object cannot be had (the name taken by an object of another kind).
struct NamedLock::Impl {
    std::recursive_mutex mutex;
    int depth = 0;            // guarded by mutex
    HANDLE system = nullptr;  // guarded by mutex; opened on first lock
    bool systemTried = false;
};

NamedLock::NamedLock(std::string name) : name_(std::move(name)), impl_(std::make_unique<Impl>()) {}

NamedLock::~NamedLock() {
    if (impl_->system != nullptr) {
        CloseHandle(impl_->system);
    }
}

void NamedLock::lock() {
    impl_->mutex.lock();
    if (impl_->depth++ > 0) {
        return;
    }
    if (!impl_->systemTried) {
        impl_->systemTried = true;
        // Unprefixed names live in the session's namespace: every process of the same login sees them.
        const std::u16string wide = Utf8ToUtf16(name_);
        impl_->system = CreateMutexW(nullptr, FALSE, win32::WidePath(wide).c_str());
    }
    if (impl_->system != nullptr) {
        // WAIT_ABANDONED also hands over ownership: a process that died holding the lock must not block
        // every later user.
        WaitForSingleObject(impl_->system, INFINITE);
    }
}

void NamedLock::unlock() {
    if (--impl_->depth == 0 && impl_->system != nullptr) {
        ReleaseMutex(impl_->system);
    }
    impl_->mutex.unlock();
}

}  // namespace kb
