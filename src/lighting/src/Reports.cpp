#include "kb/lighting/Reports.h"

namespace kb {
namespace {

Report LightingReport(uint8_t target) {
    return Report{kReportId, 0xFF, 0xFF, target, 0, 0, 0, 0};
}

}  // namespace

uint8_t DirectionCode(uint8_t selection) {
    if (selection >= 1 && selection <= 3) {
        return static_cast<uint8_t>(selection - 1);
    }
    return selection;
}

Report BuildEffectReport(uint8_t effect, uint8_t brightness, uint8_t speed, uint8_t selection) {
    Report r = LightingReport(effect);
    r[4] = brightness > kMaxBrightness ? kMaxBrightness : brightness;
    r[5] = speed;
    r[6] = DirectionCode(selection);
    return r;
}

Report BuildEffectReportRaw(uint8_t effect, uint8_t brightness, uint8_t speed, uint8_t deriction,
                            uint8_t selection) {
    Report r = LightingReport(effect);
    r[4] = brightness;
    r[5] = speed;
    r[6] = deriction;
    r[7] = selection;
    return r;
}

Report BuildSideLightReport(uint8_t mode, uint8_t level) {
    Report r = LightingReport(kSideLightTarget);
    r[6] = static_cast<uint8_t>(((level & 0x0F) << 4) | (mode & 0x0F));
    return r;
}

Report BuildVersionRequest() {
    return Report{kReportId, 0xF1, 0, 0, 0, 0, 0, 0};
}

int32_t VersionFromReport(const Report& reply) {
    return reply[1] * 256 + reply[2];
}

Report BuildResetCommand() {
    return Report{kReportId, 0xF0, 0xAA, 0, 0, 0, 0, 0};
}

}  // namespace kb
