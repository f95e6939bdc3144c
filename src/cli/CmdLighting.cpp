#include "Cli.h"
#include "kb/lighting/LedEffectConfig.h"
#include "kb/lighting/SideLightConfig.h"

namespace kbctl {

int CmdLighting(const CliContext& ctx) {
    // Nothing is skipped as an option: "kbctl lighting --dir X" would otherwise load (and, for missing
    // files, write) the settings of the default folder instead of X.
    if (!ctx.args.empty()) {
        throw CliError("takes no arguments (the folder is chosen with kbctl --dir DIR lighting)");
    }
    // Loading writes factory values into a folder that lacks the files; a mistyped folder must not pass
    // silently as "factory settings".
    std::error_code ec;
    if (!std::filesystem::is_directory(ctx.dir, ec)) {
        throw CliError("no such folder: " + ctx.dir.string());
    }
    // Loaded as at start-up, side light first: an unreadable file is replaced by the factory values.
    kb::SideLightConfig side;
    side.Load(ctx.dir / "sidemodel.xml");
    kb::LedEffectConfig effect;
    effect.Load(ctx.dir / "ledeffect.xml");

    Json items = Json::array();
    for (const kb::LedEffectItem& item : effect.Items()) {
        items.push_back({{"brightness", item.brightness},
                         {"speed", item.speed},
                         {"deriction", item.deriction},
                         {"selection", item.selection}});
    }
    Json levels = Json::array();
    for (const kb::SideLightItem& item : side.Items()) {
        levels.push_back(item.level);
    }
    PrintJson({{"effect", {{"sel", effect.GetSel()}, {"items", std::move(items)}}},
               {"side", {{"sel", side.GetSel()}, {"levels", std::move(levels)}}}});
    return 0;
}

}  // namespace kbctl
