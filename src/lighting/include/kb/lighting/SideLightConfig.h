// Settings of the keyboard's side light ("sidemodel.xml"): one level per side mode and the chosen mode.
#pragma once

#include <cstdint>

#include "kb/lighting/EffectSettings.h"

namespace kb {

struct SideLightItem {
    // 0..7: the speed for modes 0 to 2, the brightness for modes 3 to 11 (the file calls it "brightness").
    uint8_t level = 7;

    friend bool operator==(const SideLightItem&, const SideLightItem&) = default;
};

// Loading keeps the low four bits of a level and reads 8 to 15 as 0. The factory state is level 4 for
// modes 0 to 2, 7 for the others, selection 0.
class SideLightConfig : public EffectSettings<SideLightItem, 12> {
  public:
    static constexpr int kMaxSel = 12;  // 12 is accepted but has no record

    // The process-wide instance; created with the factory values on first use and never destroyed.
    static SideLightConfig& Instance();

    SideLightConfig();

  private:
    void SetFactoryValues() override;
    void ReadRecord(std::size_t k, const pugi::xml_node& node) override;
    void WriteRecord(std::size_t k, pugi::xml_node& node) const override;
};

}  // namespace kb
