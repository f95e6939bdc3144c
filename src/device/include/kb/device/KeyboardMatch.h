// The HID search for the keyboard the configuration names, shared by the window and the command line.
#pragma once

#include "kb/device/HidPath.h"

namespace kb {

class AppConfig;

// Vendor, product (0: any), interface and collection as configured.
HidMatch ConfiguredKeyboardMatch(const AppConfig& config);

}  // namespace kb
