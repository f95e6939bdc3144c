// kbctl effect / kbctl side: store a lighting choice as the lighting page does, save it, and send the
// paced report to the keyboard.
#include <optional>

#include "Cli.h"
#include "DeviceCli.h"
#include "LightingFiles.h"
#include "kb/device/LightingSender.h"
#include "kb/lighting/Reports.h"

namespace kbctl {
namespace {

std::optional<uint8_t> ByteOption(const CliContext& ctx, const std::string& name, int lo, int hi) {
    const std::string* text = ctx.Option(name);
    if (text == nullptr) {
        return std::nullopt;
    }
    const int64_t value = ParseIntArg(*text, name);
    if (value < lo || value > hi) {
        throw CliError(name + " must be " + std::to_string(lo) + "-" + std::to_string(hi) + ", not " + *text);
    }
    return static_cast<uint8_t>(value);
}

int IndexArg(const CliContext& ctx, const char* what, int count) {
    RequirePositionals(ctx, 1, what);
    const int64_t value = ParseIntArg(ctx.positionals[0], what);
    if (value < 0 || value >= count) {
        throw CliError(std::string(what) + " must be 0-" + std::to_string(count - 1) + ", not " +
                       ctx.positionals[0]);
    }
    return static_cast<int>(value);
}

// Passes everything on and remembers whether the last feature report went through.
class ObservedTransport final : public kb::IHidTransport {
  public:
    explicit ObservedTransport(kb::IHidTransport& inner) : inner_(inner) {}
    bool IsOpen() const override { return inner_.IsOpen(); }
    bool SetFeature(const kb::Report& report) override {
        lastSetFeatureOk = inner_.SetFeature(report);
        ++setFeatureCalls;
        return lastSetFeatureOk;
    }
    bool GetFeature(kb::Report& report, std::size_t& received) override {
        return inner_.GetFeature(report, received);
    }
    int32_t Write(const kb::Report& report) override { return inner_.Write(report); }

    bool lastSetFeatureOk = false;
    int setFeatureCalls = 0;

  private:
    kb::IHidTransport& inner_;
};

// Opens the keyboard and sends one paced report; says exactly why when it cannot.
template <typename Send>
void SendToKeyboard(const CliContext& ctx, kb::LedEffectConfig& effects, kb::SideLightConfig& sides,
                    const std::string& savedIn, Send send) {
    kb::HidDevice device;
    try {
        OpenKeyboard(ctx, device);
    } catch (const CliError& e) {
        throw CliError("saved in " + savedIn + " but not sent: " + e.what());
    }
    kb::HidDeviceTransport hid(device);
    ObservedTransport observed(hid);
    kb::LightingSender sender(observed, effects, sides);
    send(sender);
    if (observed.setFeatureCalls == 0 || !observed.lastSetFeatureOk) {
        throw CliError("saved in " + savedIn + " but the keyboard did not take the report");
    }
}

}  // namespace

int CmdEffect(const CliContext& ctx) {
    const int effect = IndexArg(ctx, "N", kb::kEffectCount);
    const std::optional<uint8_t> brightness = ByteOption(ctx, "--brightness", 0, 5);
    const std::optional<uint8_t> speed = ByteOption(ctx, "--speed", 0, 2);
    const std::optional<uint8_t> selection = ByteOption(ctx, "--selection", 1, 3);
    // The lighting page has no control for these values on that effect's page.
    if (speed && effect < 2) {
        throw CliError("effect " + std::to_string(effect) + " has no speed (effects 2-19 have one)");
    }
    if (selection && effect != 1) {
        throw CliError("only effect 1 has a selection");
    }
    kb::SideLightConfig sides;
    kb::LedEffectConfig effects;
    LoadLightingFiles(ctx, sides, effects);
    // As the page: the choice is stored and saved, then the page's values go into the record and it is
    // saved again.
    RequireSaved(effects.SetSel(effect), effects);
    kb::LedEffectItem& item = *effects.GetItem(effect);
    item.brightness = brightness.value_or(item.brightness);
    item.speed = speed.value_or(item.speed);
    item.selection = selection.value_or(item.selection);
    RequireSaved(effects.Save(), effects);
    SendToKeyboard(ctx, effects, sides, effects.Path().string(),
                   [&](kb::LightingSender& sender) { sender.SendLedEffect(effect); });
    PrintJson({{"effect", effect},
               {"brightness", item.brightness},
               {"speed", item.speed},
               {"direction", item.deriction},
               {"selection", item.selection},
               {"sent", true}});
    return 0;
}

int CmdSide(const CliContext& ctx) {
    const int mode = IndexArg(ctx, "MODE", kb::kSideModeCount);
    const std::optional<uint8_t> level = ByteOption(ctx, "--level", 0, 7);
    kb::SideLightConfig sides;
    kb::LedEffectConfig effects;
    LoadLightingFiles(ctx, sides, effects);
    RequireSaved(sides.SetSel(mode), sides);
    kb::SideLightItem& item = *sides.GetItem(mode);
    item.level = level.value_or(item.level);
    RequireSaved(sides.Save(), sides);
    SendToKeyboard(ctx, effects, sides, sides.Path().string(),
                   [&](kb::LightingSender& sender) { sender.SendSideLight(mode); });
    PrintJson({{"side", mode}, {"level", item.level}, {"sent", true}});
    return 0;
}

}  // namespace kbctl
