#include "kb/device/DeviceWatcher.h"

#include <mutex>

#include "DeviceWatchSource.h"
#include "kb/device/VirtualKeyboard.h"

namespace kb {
namespace {

// What the virtual keyboard's listener reaches. The virtual keyboard calls its listeners outside its own
// lock, so a call may still be under way on another thread after the listener was removed: the listener
// co-owns this object, and a late call finds the source gone instead of touching a watcher that is.
struct WakeSignal {
    std::mutex mutex;
    DeviceWatchSource* source = nullptr;  // guarded by mutex

    void Signal() {
        const std::lock_guard guard(mutex);
        if (source != nullptr) {
            source->Wake();
        }
    }
    void Close() {
        const std::lock_guard guard(mutex);
        source = nullptr;
    }
};

}  // namespace

struct DeviceWatcher::Impl {
    std::unique_ptr<DeviceWatchSource> source;
    std::shared_ptr<WakeSignal> wake;
    int listener = 0;

    Impl() = default;
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    ~Impl() {
        // The listener first, so that no new call starts; one already under way finds the source gone.
        if (listener != 0) {
            VirtualKeyboard::Instance().RemoveListener(listener);
        }
        if (wake != nullptr) {
            wake->Close();
        }
    }
};

DeviceWatcher::DeviceWatcher() = default;

DeviceWatcher::~DeviceWatcher() {
    Stop();
}

bool DeviceWatcher::Start() {
    Stop();
    auto impl = std::make_unique<Impl>();
    const bool simulated = VirtualKeyboard::Enabled();
    impl->source = OpenDeviceWatchSource(simulated);
    if (impl->source == nullptr) {
        return false;
    }
    if (simulated && impl->source->CanWake()) {
        impl->wake = std::make_shared<WakeSignal>();
        impl->wake->source = impl->source.get();
        impl->listener = VirtualKeyboard::Instance().AddListener([wake = impl->wake] { wake->Signal(); });
    }
    if (!impl->source->Watching() && impl->listener == 0) {
        return false;
    }
    impl_ = std::move(impl);
    impl_->source->ArmDeadline();
    return true;
}

void DeviceWatcher::Stop() {
    impl_.reset();
}

bool DeviceWatcher::IsRunning() const {
    return impl_ != nullptr;
}

intptr_t DeviceWatcher::PollHandle() const {
    return impl_ != nullptr ? impl_->source->PollHandle() : -1;
}

std::vector<DeviceEvent> DeviceWatcher::ProcessPending() {
    if (impl_ == nullptr) {
        return {};
    }
    std::vector<DeviceEvent> events = impl_->source->TakePending();
    if (impl_->listener != 0) {
        std::vector<DeviceEvent> simulated = VirtualKeyboard::Instance().TakeEvents(impl_->listener);
        events.insert(events.end(), simulated.begin(), simulated.end());
        impl_->source->ArmDeadline();
    }
    return events;
}

}  // namespace kb
