#include "DeviceCli.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "kb/common/AppConfig.h"
#include "kb/common/Utf.h"
#include "kb/device/HidDiscovery.h"
#include "kb/device/KeyboardMatch.h"
#include "kb/device/NamedLock.h"

namespace kbctl {

kb::HidMatch LoadKeyboardMatch(const CliContext& ctx) {
    const std::filesystem::path file = ctx.ConfigFile();
    kb::AppConfig& config = kb::AppConfig::Instance();
    if (!config.Load(file)) {
        const std::string why =
            config.LastLoad().Unreadable() ? config.LastLoad().Message() : "cannot read " + file.string();
        throw CliError(why + " (it names the keyboard to look for)");
    }
    return kb::ConfiguredKeyboardMatch(config);
}

std::string DescribeMatch(const kb::HidMatch& match) {
    char text[128];
    std::snprintf(text, sizeof text, "vid %04x pid %04x interface %d collection %d",
                  static_cast<unsigned>(match.vid),
                  static_cast<unsigned>(match.pids.empty() ? 0 : match.pids[0]), match.interfaceNumber,
                  match.collection);
    return text;
}

void OpenKeyboard(const CliContext& ctx, kb::HidDevice& device) {
    const kb::HidMatch match = LoadKeyboardMatch(ctx);
    std::vector<kb::HidInterfaceInfo> found;
    {
        // As the program's start-up: the search and the open form one step for every process of the user.
        const std::lock_guard lock(kb::NamedLock::Get("HidDevice::Open"));
        found = kb::EnumHidInterfaces(match);
        if (!found.empty()) {
            device.Open(found.front().path);
        }
    }
    if (found.empty()) {
        throw CliError("Please insert USB device\nno HID interface matches " + DescribeMatch(match) +
                       " (config.xml)");
    }
    if (device.IsOpen()) {
        return;
    }
    const int error = device.LastError();
    std::string node = device.NodePath();
    if (node.empty()) {
        node = kb::Utf16ToUtf8(found.front().path);
    }
    if (error == EACCES || error == EPERM) {
        throw CliError("Please insert USB device\nno permission on " + node +
                       ": a udev rule for this keyboard (TAG+=\"uaccess\", see the README) gives the "
                       "logged-in user access");
    }
    throw CliError("Please insert USB device\ncannot open " + node + ": " +
                   (error != 0 ? std::strerror(error) : "unknown error"));
}

void OpenFilter(kb::KbFiltrDevice::FilterChannel& channel) {
    if (!channel.OpenChannel()) {
        throw CliError(channel.LastOpenProblem());
    }
}

}  // namespace kbctl
