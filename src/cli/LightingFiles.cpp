#include "LightingFiles.h"

#include <filesystem>
#include <iostream>
#include <optional>
#include <system_error>

#include "kb/common/AtomicFile.h"

namespace kbctl {
namespace {

// Loads one file; what the user wrote is never replaced without a copy beside it.
void LoadOne(const CliContext& ctx, kb::EffectSettingsFile& file, const std::filesystem::path& path) {
    std::error_code ec;
    std::optional<std::string> before;
    if (std::filesystem::exists(std::filesystem::symlink_status(path, ec))) {
        kb::FileReadResult read = kb::ReadWholeFile(path);
        if (!read.ok) {
            // Loading would put the factory values in its place, and nothing could be kept of it.
            throw CliError(read.error);
        }
        before = std::move(read.bytes);
    }
    const bool loaded = file.Load(path);
    RequireSaved(file.LastError().empty(), file);
    if (loaded || !before) {
        return;
    }
    std::filesystem::path aside = path;
    aside += ".unreadable";
    const kb::FileWriteResult kept = kb::WriteFileAtomically(aside, *before);
    if (!kept.ok) {
        throw CliError(path.string() +
                       " could not be read and now holds the factory values; its old content "
                       "could not be kept aside: " +
                       kept.error);
    }
    std::cerr << "kbctl " << ctx.command << ": " << path.string() << " could not be read; kept aside as "
              << aside.filename().string() << ", the factory values are used\n";
}

}  // namespace

void LoadLightingFiles(const CliContext& ctx, kb::SideLightConfig& sides, kb::LedEffectConfig& effects) {
    RequireFolder(ctx);
    LoadOne(ctx, sides, ctx.dir / "sidemodel.xml");
    LoadOne(ctx, effects, ctx.dir / "ledeffect.xml");
}

void RequireSaved(bool saved, const kb::EffectSettingsFile& file) {
    if (!saved) {
        throw CliError("settings not saved: " + file.LastError());
    }
}

}  // namespace kbctl
