#include "kb/lighting/SideLightConfig.h"

#include <pugixml.hpp>

#include <string_view>

#include "kb/common/NumberText.h"
#include "kb/common/XmlFile.h"

namespace kb {

SideLightConfig& SideLightConfig::Instance() {
    static SideLightConfig* instance = new SideLightConfig();
    return *instance;
}

SideLightConfig::SideLightConfig() : EffectSettings(kMaxSel) {
    SetFactoryValues();
}

void SideLightConfig::SetFactoryValues() {
    // Modes 0 to 2 are animations whose level is a speed; the others are brightness levels.
    for (std::size_t i = 0; i < items_.size(); ++i) {
        items_[i].level = i < 3 ? 4 : 7;
    }
    sel_ = 0;
}

void SideLightConfig::ReadRecord(std::size_t k, const pugi::xml_node& node) {
    const int32_t value = StrToLong32(std::string_view(node.attribute("brightness").value()), 10);
    const auto level = static_cast<uint8_t>(static_cast<uint32_t>(value) & 0x0Fu);
    items_[k].level = level > 7 ? 0 : level;
}

void SideLightConfig::WriteRecord(std::size_t k, pugi::xml_node& node) const {
    AppendDecimalAttribute(node, "brightness", items_[k].level);
}

}  // namespace kb
