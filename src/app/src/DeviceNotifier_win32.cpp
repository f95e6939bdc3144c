#include <QWinEventNotifier>

#include "kb/app/DeviceNotifier.h"

namespace kb::app {

std::unique_ptr<QObject> MakeDeviceNotifier(intptr_t handle, std::function<void()> onReady) {
    if (handle == -1 || handle == 0) {
        return nullptr;
    }
    auto notifier = std::make_unique<QWinEventNotifier>(reinterpret_cast<Qt::HANDLE>(handle));
    QObject::connect(notifier.get(), &QWinEventNotifier::activated, notifier.get(),
                     [onReady = std::move(onReady)] { onReady(); });
    return notifier;
}

}  // namespace kb::app
