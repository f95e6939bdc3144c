// HID report descriptors as sysfs hands them over (up to the kernel's 4096 bytes, and beyond).
#include <span>

#include "FuzzSupport.h"
#include "kb/device/HidReportDescriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::vector<kb::HidTopLevelCollection> collections =
        kb::ParseReportDescriptor(std::span<const uint8_t>(data, size));
    // Every top-level collection starts with a Collection item of at least one byte.
    if (collections.size() > size) {
        kbfuzz::Fail("more collections than bytes");
    }
    return 0;
}
