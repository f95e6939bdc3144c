#include "Cli.h"
#include "LightingFiles.h"

namespace kbctl {

int CmdLighting(const CliContext& ctx) {
    // Loading writes factory values into a folder that lacks the files; a mistyped folder must not pass
    // silently as "factory settings", and neither may factory values that could not be written.
    kb::SideLightConfig side;
    kb::LedEffectConfig effect;
    LoadLightingFiles(ctx, side, effect);

    Json items = Json::array();
    for (const kb::LedEffectItem& item : effect.Items()) {
        items.push_back({{"brightness", item.brightness},
                         {"speed", item.speed},
                         {"direction", item.deriction},
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
