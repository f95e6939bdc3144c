#include "LightingFiles.h"

#include <filesystem>
#include <iostream>
#include <system_error>

namespace kbctl {
namespace {

void TellUnreadable(const CliContext& ctx, const kb::EffectSettingsFile& file) {
    if (file.LastLoad().Unreadable()) {
        std::cerr << "kbctl " << ctx.command << ": " << file.LastLoad().Message() << '\n';
    }
}

}  // namespace

void LoadLightingFiles(const CliContext& ctx, kb::SideLightConfig& sides, kb::LedEffectConfig& effects) {
    RequireFolder(ctx);
    // A false result is an unreadable file, kept aside and replaced; only a failed replacement is an error.
    static_cast<void>(sides.Load(ctx.dir / "sidemodel.xml"));
    TellUnreadable(ctx, sides);
    RequireSaved(sides.LastError().empty(), sides);
    static_cast<void>(effects.Load(ctx.dir / "ledeffect.xml"));
    TellUnreadable(ctx, effects);
    RequireSaved(effects.LastError().empty(), effects);
}

void RequireSaved(bool saved, const kb::EffectSettingsFile& file) {
    if (!saved) {
        throw CliError("settings not saved: " + file.LastError());
    }
}

}  // namespace kbctl
