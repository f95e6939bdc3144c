#include "HidrawNode_linux.h"

#include "kb/common/NumberText.h"

#include <libudev.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string_view>

namespace kb {
namespace {

// The kernel's bus number of USB HID devices (BUS_USB).
constexpr uint32_t kBusUsb = 0x03;

// HID_ID is "BBBB:VVVVVVVV:PPPPPPPP" (bus, vendor, product in hexadecimal).
bool ParseHidId(const char* text, uint32_t& bus, int32_t& vid, int32_t& pid) {
    if (text == nullptr) {
        return false;
    }
    const std::string_view id(text);
    const std::size_t first = id.find(':');
    const std::size_t second = first == std::string_view::npos ? first : id.find(':', first + 1);
    if (second == std::string_view::npos) {
        return false;
    }
    const std::string_view busText = id.substr(0, first);
    const std::string_view vendor = id.substr(first + 1, second - first - 1);
    const std::string_view product = id.substr(second + 1);
    std::size_t usedBus = 0;
    std::size_t usedVendor = 0;
    std::size_t usedProduct = 0;
    bus = StrToULong32(busText, 16, &usedBus);
    if (usedBus == 0 || usedBus != busText.size()) {
        return false;
    }
    const uint32_t v = StrToULong32(vendor, 16, &usedVendor);
    const uint32_t p = StrToULong32(product, 16, &usedProduct);
    if (usedVendor == 0 || usedProduct == 0 || usedVendor != vendor.size() || usedProduct != product.size()) {
        return false;
    }
    vid = static_cast<int32_t>(v & 0xFFFF);
    pid = static_cast<int32_t>(p & 0xFFFF);
    return true;
}

int32_t HexAttribute(udev_device* device, const char* name, int32_t fallback) {
    if (device == nullptr) {
        return fallback;
    }
    const char* text = udev_device_get_sysattr_value(device, name);
    if (text == nullptr) {
        return fallback;
    }
    std::size_t used = 0;
    const uint32_t value = StrToULong32(std::string_view(text), 16, &used);
    return used == 0 ? fallback : static_cast<int32_t>(value & 0xFFFF);
}

}  // namespace

std::string MakeIdentityPath(const std::string& devnode, int32_t vid, int32_t pid, int32_t interfaceNumber,
                             int32_t collection) {
    char text[64];
    std::snprintf(text, sizeof text, "#hid#vid_%04x&pid_%04x", static_cast<unsigned>(vid & 0xFFFF),
                  static_cast<unsigned>(pid & 0xFFFF));
    std::string path = devnode + text;
    if (interfaceNumber >= 0) {
        std::snprintf(text, sizeof text, "&mi_%02x", static_cast<unsigned>(interfaceNumber & 0xFF));
        path += text;
    }
    if (collection >= 0) {
        // The whole number: a descriptor may hold more than 255 top-level collections.
        std::snprintf(text, sizeof text, "&col%02x", static_cast<unsigned>(collection));
        path += text;
    }
    return path;
}

int32_t IdentityPathCollection(std::string_view path) {
    const std::size_t at = path.rfind("&col");
    if (at == std::string_view::npos) {
        return -1;
    }
    std::size_t used = 0;
    const uint32_t value = StrToULong32(path.substr(at + 4), 16, &used);
    return used == 0 || value > 0x7FFFFFFF ? -1 : static_cast<int32_t>(value);
}

bool ReadReportDescriptor(udev_device* device, std::vector<uint8_t>& bytes) {
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(device, "hid", nullptr);
    if (hid == nullptr || udev_device_get_syspath(hid) == nullptr) {
        return false;
    }
    std::ifstream file(std::string(udev_device_get_syspath(hid)) + "/report_descriptor", std::ios::binary);
    if (!file) {
        return false;
    }
    // The kernel caps descriptors at 4096 bytes; read a little more and let the parser judge.
    constexpr std::size_t kLimit = 64 * 1024;
    bytes.clear();
    char buffer[4096];
    while (bytes.size() < kLimit && file.read(buffer, sizeof buffer).gcount() > 0) {
        bytes.insert(bytes.end(), buffer, buffer + file.gcount());
    }
    return true;
}

bool DescribeHidrawNode(udev_device* device, HidrawNode& node) {
    const char* devnode = udev_device_get_devnode(device);
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(device, "hid", nullptr);
    uint32_t bus = 0;
    int32_t vid = 0;
    int32_t pid = 0;
    if (devnode == nullptr || hid == nullptr ||
        !ParseHidId(udev_device_get_property_value(hid, "HID_ID"), bus, vid, pid)) {
        return false;
    }
    node.devnode = devnode;
    const char* devpath = udev_device_get_devpath(device);
    node.devpath = devpath != nullptr ? devpath : "";
    // Only a HID device on the USB bus has a USB interface and version of its own. A Bluetooth or I2C
    // keyboard may still have a USB parent (the adapter), whose numbers are not the keyboard's.
    int32_t interfaceNumber = -1;
    node.version = 0;
    if (bus == kBusUsb) {
        udev_device* usbInterface =
            udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_interface");
        udev_device* usbDevice = udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device");
        interfaceNumber = HexAttribute(usbInterface, "bInterfaceNumber", -1);
        node.version = static_cast<uint16_t>(HexAttribute(usbDevice, "bcdDevice", 0));
    }

    std::vector<uint8_t> descriptor;
    std::vector<HidTopLevelCollection> collections;
    if (ReadReportDescriptor(device, descriptor)) {
        collections = ParseReportDescriptor(descriptor);
    }
    node.entries.clear();
    if (collections.size() <= 1) {
        // One top-level collection (or an unreadable descriptor): the node is one interface without "&col".
        HidrawEntry entry;
        entry.ids = {vid, pid, interfaceNumber, -1};
        entry.path = MakeIdentityPath(node.devnode, vid, pid, interfaceNumber, -1);
        if (!collections.empty()) {
            entry.collection = collections.front();
        }
        node.entries.push_back(entry);
        return true;
    }
    for (std::size_t i = 0; i < collections.size(); ++i) {
        const auto number = static_cast<int32_t>(i + 1);
        HidrawEntry entry;
        entry.path = MakeIdentityPath(node.devnode, vid, pid, interfaceNumber, number);
        // The ids are what the path says, so that matching here and on parsed paths agree.
        ParseHidPath(entry.path, entry.ids);
        entry.collection = collections[i];
        node.entries.push_back(entry);
    }
    return true;
}

udev_device* HidrawDeviceForNode(udev* context, const std::string& devnode) {
    const std::size_t slash = devnode.rfind('/');
    const std::string name = slash == std::string::npos ? devnode : devnode.substr(slash + 1);
    if (name.empty()) {
        return nullptr;
    }
    return udev_device_new_from_subsystem_sysname(context, "hidraw", name.c_str());
}

}  // namespace kb
