#include "LightingFiles.h"

#include <filesystem>
#include <system_error>

namespace kbctl {

void LoadLightingFiles(const CliContext& ctx, kb::SideLightConfig& sides, kb::LedEffectConfig& effects) {
    std::error_code ec;
    if (!std::filesystem::is_directory(ctx.dir, ec)) {
        throw CliError("no such folder: " + ctx.dir.string());
    }
    // A false result is an unreadable file, already replaced; only a failed replacement is an error.
    static_cast<void>(sides.Load(ctx.dir / "sidemodel.xml"));
    RequireSaved(sides.LastError().empty(), sides);
    static_cast<void>(effects.Load(ctx.dir / "ledeffect.xml"));
    RequireSaved(effects.LastError().empty(), effects);
}

void RequireSaved(bool saved, const kb::EffectSettingsFile& file) {
    if (!saved) {
        throw CliError("settings not saved: " + file.LastError());
    }
}

}  // namespace kbctl
