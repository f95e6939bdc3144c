// kbctl devices / kbctl version: the keyboard's matching HID interfaces, and its firmware version.
#include <cstdio>

#include "Cli.h"
#include "DeviceCli.h"
#include "kb/common/Utf.h"
#include "kb/device/HidDiscovery.h"
#include "kb/device/LightingSender.h"
#include "kb/lighting/LedEffectConfig.h"
#include "kb/lighting/SideLightConfig.h"

namespace kbctl {
namespace {

// As config.xml and the device messages write them.
std::string Hex4(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%04x", static_cast<unsigned>(value));
    return text;
}

}  // namespace

int CmdDevices(const CliContext& ctx) {
    const kb::HidMatch match = LoadKeyboardMatch(ctx);
    const std::vector<kb::HidInterfaceInfo> found = kb::EnumHidInterfaces(match);
    Json list = Json::array();
    for (const kb::HidInterfaceInfo& info : found) {
        list.push_back({{"path", kb::Utf16ToUtf8(info.path)},
                        {"vid", Hex4(info.vid)},
                        {"pid", Hex4(info.pid)},
                        {"interface", info.interfaceNumber},
                        {"collection", info.collection},
                        {"version", info.version},
                        {"usagePage", info.usagePage},
                        {"usage", info.usage}});
    }
    PrintJson(list);
    return 0;
}

int CmdVersion(const CliContext& ctx) {
    kb::HidDevice device;
    OpenKeyboard(ctx, device);
    kb::HidDeviceTransport transport(device);
    // The sender needs the lighting settings only for its lighting reports; empty ones do.
    kb::LedEffectConfig effects;
    kb::SideLightConfig sides;
    kb::LightingSender sender(transport, effects, sides);
    sender.ReadFirmwareVersion();
    const int32_t version = sender.FirmwareVersion();
    if (version < 0) {
        throw CliError("the keyboard did not answer the version request");
    }
    PrintJson({{"version", version}, {"text", kb::FirmwareVersionText(version)}});
    return 0;
}

}  // namespace kbctl
