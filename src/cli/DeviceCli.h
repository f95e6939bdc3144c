// What the kbctl device commands share: the keyboard's identity from config.xml, and opening the keyboard
// and the filter with messages that say exactly what is missing.
#pragma once

#include <string>

#include "Cli.h"
#include "kb/device/FilterChannel.h"
#include "kb/device/HidDevice.h"
#include "kb/device/HidPath.h"

namespace kbctl {

// Loads config.xml of the folder into the process-wide AppConfig (the virtual keyboard takes its identity
// from there) and returns the search the program makes at start-up. Throws when the file is unreadable.
kb::HidMatch LoadKeyboardMatch(const CliContext& ctx);
std::string DescribeMatch(const kb::HidMatch& match);

// Opens the first matching interface, as the program does at start-up. Throws CliError starting with
// "Please insert USB device" and saying why: no matching interface, no permission on the node, or the
// system's error.
void OpenKeyboard(const CliContext& ctx, kb::HidDevice& device);

// Opens the filter (the virtual one when KBSTUDIO_VIRTUAL_FILTER=1); throws CliError saying what is
// missing otherwise.
void OpenFilter(kb::KbFiltrDevice::FilterChannel& channel);

}  // namespace kbctl
