#include <QSocketNotifier>

#include "kb/app/DeviceNotifier.h"

namespace kb::app {

std::unique_ptr<QObject> MakeDeviceNotifier(intptr_t handle, std::function<void()> onReady) {
    if (handle < 0) {
        return nullptr;
    }
    auto notifier = std::make_unique<QSocketNotifier>(static_cast<qintptr>(handle), QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(),
                     [onReady = std::move(onReady)] { onReady(); });
    return notifier;
}

}  // namespace kb::app
