// What one hidraw node is, read from sysfs through libudev: its identity paths (one per top-level
// collection) and what opening it tells.
#pragma once

#include "kb/device/HidPath.h"
#include "kb/device/HidReportDescriptor.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct udev;
struct udev_device;

namespace kb {

struct HidrawEntry {
    std::string path;  // "/dev/hidraw3#hid#vid_1209&pid_a1e5&mi_01&col02"
    HidPathIds ids;
    HidTopLevelCollection collection;  // zero when the descriptor could not be read
};

struct HidrawNode {
    std::string devnode;   // "/dev/hidraw3"
    std::string devpath;   // the kernel's DEVPATH, which removal events still carry
    uint16_t version = 0;  // bcdDevice of the USB device; 0 when not on USB
    std::vector<HidrawEntry> entries;
};

// False when the node has no device file or no HID identity (vendor and product).
bool DescribeHidrawNode(udev_device* device, HidrawNode& node);

// The identity path for one top-level collection; `collection` -1 gives no "&col" part.
std::string MakeIdentityPath(const std::string& devnode, int32_t vid, int32_t pid, int32_t interfaceNumber,
                             int32_t collection);

// The whole collection number of an identity path's "&col" part (more than two digits above 255); -1
// without one. ParseHidPath keeps only one digit of it, as the Windows rules do.
int32_t IdentityPathCollection(std::string_view path);

// The sysfs device of a node such as "/dev/hidraw3"; null when there is none. The caller unrefs it.
udev_device* HidrawDeviceForNode(udev* context, const std::string& devnode);

// The report descriptor of a hidraw device, read from its HID parent; false when unreadable.
bool ReadReportDescriptor(udev_device* device, std::vector<uint8_t>& bytes);

}  // namespace kb
