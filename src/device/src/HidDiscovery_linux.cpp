#include "HidrawNode_linux.h"
#include "kb/common/Trace.h"
#include "kb/common/UniqueFd.h"
#include "kb/common/Utf.h"
#include "kb/device/HidDiscovery.h"
#include "kb/device/VirtualKeyboard.h"

#include <fcntl.h>
#include <libudev.h>
#include <unistd.h>

namespace kb {

std::vector<HidInterfaceInfo> EnumHidInterfaces(const HidMatch& match) {
    std::vector<HidInterfaceInfo> result;
    if (!HasDeviceFilter(match)) {
        return result;
    }
    // Asked for explicitly, so it comes before any real keyboard of the same identity.
    VirtualKeyboard::AppendListing(match, result);

    udev* context = udev_new();
    if (context == nullptr) {
        return result;
    }
    udev_enumerate* enumerate = udev_enumerate_new(context);
    if (enumerate != nullptr) {
        udev_enumerate_add_match_subsystem(enumerate, "hidraw");
        udev_enumerate_scan_devices(enumerate);
        const std::string guid = FormatHidGuid(kHidInterfaceClass);
        Trace("got classs: guid={%s}\n", guid.c_str());
        int index = 0;
        udev_list_entry* item = nullptr;
        udev_list_entry_foreach(item, udev_enumerate_get_list_entry(enumerate)) {
            udev_device* device = udev_device_new_from_syspath(context, udev_list_entry_get_name(item));
            HidrawNode node;
            if (device == nullptr || !DescribeHidrawNode(device, node)) {
                Trace("enum interface: guid={%s} index=%d\n", guid.c_str(), index++);
                Trace("获取接口信息失败\n");
                if (device != nullptr) {
                    udev_device_unref(device);
                }
                continue;
            }
            udev_device_unref(device);
            for (const HidrawEntry& entry : node.entries) {
                Trace("enum interface: guid={%s} index=%d\n", guid.c_str(), index++);
                if (!MatchesHidIds(match, entry.ids)) {
                    continue;
                }
                HidInterfaceInfo info;
                info.path = Utf8ToUtf16(entry.path);
                info.flags = kActiveInterfaceEntry;
                info.vid = entry.ids.vid;
                info.pid = entry.ids.pid;
                info.interfaceNumber = entry.ids.interfaceNumber;
                info.collection = entry.ids.collection;
                const UniqueFd fd(::open(node.devnode.c_str(), O_RDWR | O_CLOEXEC));
                Trace("open dev: %08x\n", static_cast<unsigned>(fd.Get()));
                if (fd) {
                    info.version = node.version;
                    info.usagePage = entry.collection.usagePage;
                    info.usage = entry.collection.usage;
                }
                result.push_back(info);
            }
        }
        udev_enumerate_unref(enumerate);
    }
    udev_unref(context);
    return result;
}

}  // namespace kb
