#include "Cli.h"

namespace kbctl {

int PrintPaths(const CliContext& ctx, const PathsInfo& info) {
    const auto text = [](const std::filesystem::path& p) {
        return p.empty() ? Json(nullptr) : Json(p.string());
    };
    const auto file = [&](const char* name) {
        return ctx.dir.empty() ? Json(nullptr) : Json((ctx.dir / name).string());
    };
    Json out = {{"mode", info.mode},
                {"config", ctx.ConfigFile().string()},
                {"systemConfig", text(info.systemConfig)},
                {"folder", text(ctx.dir)},
                {"uires", text(info.package)},
                {"files",
                 {{"ledeffect", file("ledeffect.xml")},
                  {"sidemodel", file("sidemodel.xml")},
                  {"macro", file("macro.xml")},
                  {"record", file("record.bin")}}}};
    if (!info.error.empty()) {
        out["error"] = info.error;
    }
    PrintJson(out);
    return info.error.empty() ? 0 : 1;
}

}  // namespace kbctl
