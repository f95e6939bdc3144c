// Settings of the keyboard's main lighting ("ledeffect.xml"): one record per effect and the chosen effect.
#pragma once

#include <cstdint>

#include "kb/lighting/EffectSettings.h"

namespace kb {

// Four bytes in the order the start-up report copies them.
struct LedEffectItem {
    uint8_t brightness = 5;  // 0..5
    uint8_t speed = 0;       // 0..2
    uint8_t deriction = 0;   // 0..1, direction flag
    uint8_t selection = 0;   // 1 left, 2 center, 3 right (effect 1); 0 after a factory reset

    friend bool operator==(const LedEffectItem&, const LedEffectItem&) = default;
};

// Loading corrects a speed above 2 to 1, a brightness above 5 to 5 and a deriction above 1 to 0; a
// missing "selection" reads as 1. The factory state is every record {5, 0, 0, 0} with selection 20.
class LedEffectConfig : public EffectSettings<LedEffectItem, 20> {
  public:
    static constexpr int kFactorySel = 20;  // a selection without a record

    // The process-wide instance; created with the factory values on first use and never destroyed.
    static LedEffectConfig& Instance();

    LedEffectConfig();

  private:
    void SetFactoryValues() override;
    void ReadRecord(std::size_t k, const pugi::xml_node& node) override;
    void WriteRecord(std::size_t k, pugi::xml_node& node) const override;
};

}  // namespace kb
