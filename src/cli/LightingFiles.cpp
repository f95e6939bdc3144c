#include "LightingFiles.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <system_error>

#include "kb/common/AtomicFile.h"

namespace kbctl {
namespace {

void TellUnreadable(const CliContext& ctx, const kb::EffectSettingsFile& file) {
    if (file.LastLoad().Unreadable()) {
        std::cerr << "kbctl " << ctx.command << ": " << file.LastLoad().Message() << '\n';
    }
}

}  // namespace

void LoadLightingFiles(const CliContext& ctx, kb::SideLightConfig& sides, kb::LedEffectConfig& effects) {
void TellUnreadable(const CliContext& ctx, const kb::EffectSettingsFile& file) {
    if (file.LastLoad().Unreadable()) {
        std::cerr << "kbctl " << ctx.command << ": " << file.LastLoad().Message() << '\n';
    }
}

void RequireSaved(bool saved, const kb::EffectSettingsFile& file) {
    if (!saved) {
        throw CliError("settings not saved: " + file.LastError());
    }
}

}  // namespace kbctl
