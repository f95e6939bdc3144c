#include <cstdio>

#include "Cli.h"
#include "kb/common/AppConfig.h"
#include "kb/common/Utf.h"
#include "kb/keys/KeyTable.h"

namespace kbctl {

namespace {

// As config.xml and the device messages write them: four hex digits; "any" (0 or less) is null.
Json HexId(int32_t value) {
    if (value <= 0) {
        return nullptr;
    }
    char text[16];
    std::snprintf(text, sizeof text, "%04x", static_cast<unsigned>(value));
    return text;
}

}  // namespace

int CmdConfig(const CliContext& ctx) {
    const std::filesystem::path path = ctx.ConfigFile();
    kb::AppConfig config;
    if (!config.Load(path)) {
        // What the application runs with then: the defaults.
        const std::string why = config.LastLoad().Unreadable()
                                    ? config.LastLoad().Message()
                                    : "no such file: " + path.string() + "; showing the defaults";
        config = kb::AppConfig{};
        std::fprintf(stderr, "kbctl config: %s\n", why.c_str());
    }
    Json media = Json::array();
    for (const kb::MediaKeyItem& item : config.MediaKeys()) {
        media.push_back({{"name", kb::Utf16ToUtf8(item.name)},
                         {"code", item.code},
                         {"path", kb::Utf16ToUtf8(item.path)},
                         {"argm", kb::Utf16ToUtf8(item.argm)}});
    }
    Json functions = Json::array();
    for (const kb::FunctionKeyItem& item : config.FunctionKeys()) {
        Json keys = Json::array();
        for (const auto& [code, delay] : item.keys) {
            keys.push_back({{"code", code},
                            {"name", kb::Utf16ToUtf8(kb::KeyNameForCode(static_cast<uint32_t>(code)))},
                            {"delay", delay}});
        }
        functions.push_back({{"name", kb::Utf16ToUtf8(item.name)}, {"keys", std::move(keys)}});
    }
    PrintJson({{"vid", HexId(config.Vid())},
               {"pid", HexId(config.Pid())},
               {"interface", config.Interface()},
               {"subdevice", config.Subdevice()},
               {"language", config.Language()},
               {"mediaKeys", std::move(media)},
               {"functionKeys", std::move(functions)}});
    return 0;
}

}  // namespace kbctl
