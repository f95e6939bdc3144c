// Whether an arriving or leaving HID interface is the configured keyboard.
#pragma once

#include "kb/common/AppConfig.h"
#include "kb/device/HidPath.h"

namespace kb::app {

// Each test applies only when the path carries the field: a vendor or product other than 0 must equal the
// configured one; an interface or collection of 0 or more must equal the configured one unless that is
// -1 ("any", as the search treats it).
bool IsConfiguredKeyboard(const HidPathIds& ids, const AppConfig& config);

}  // namespace kb::app
