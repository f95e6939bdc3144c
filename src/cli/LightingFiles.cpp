#include "LightingFiles.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace kbctl {
namespace {

void TellUnreadable(const kb::EffectSettingsFile& file) {
    if (file.LastLoad().Unreadable()) {
        std::fprintf(stderr, "kbctl: %s\n", file.LastLoad().Message().c_str());
    }
}

}  // namespace

void LoadLightingFiles(const CliContext& ctx, kb::SideLightConfig& sides, kb::LedEffectConfig& effects) {
    std::error_code ec;
    if (!std::filesystem::is_directory(ctx.dir, ec)) {
        throw CliError("no such folder: " + ctx.dir.string());
    }
    // A false result is an unreadable file, kept aside and replaced; only a failed replacement is an error.
    static_cast<void>(sides.Load(ctx.dir / "sidemodel.xml"));
    TellUnreadable(sides);
    RequireSaved(sides.LastError().empty(), sides);
    static_cast<void>(effects.Load(ctx.dir / "ledeffect.xml"));
    TellUnreadable(effects);
    RequireSaved(effects.LastError().empty(), effects);
}

void RequireSaved(bool saved, const kb::EffectSettingsFile& file) {
    if (!saved) {
        throw CliError("settings not saved: " + file.LastError());
    }
}

}  // namespace kbctl
