#include "kb/lighting/LedEffectConfig.h"

#include <pugixml.hpp>

#include <string_view>

#include "kb/common/NumberText.h"
#include "kb/common/XmlFile.h"

namespace kb {
namespace {

// The attribute's decimal value cut to its low byte; `missing` when the attribute is absent.
uint8_t ByteAttribute(const pugi::xml_node& node, const char* name, int32_t missing) {
    const pugi::xml_attribute attr = node.attribute(name);
    const int32_t value = attr ? StrToLong32(std::string_view(attr.value()), 10) : missing;
    return static_cast<uint8_t>(static_cast<uint32_t>(value) & 0xFFu);
}

}  // namespace

LedEffectConfig& LedEffectConfig::Instance() {
    static LedEffectConfig* instance = new LedEffectConfig();
    return *instance;
}

LedEffectConfig::LedEffectConfig() : EffectSettings(kFactorySel) {
    SetFactoryValues();
}

void LedEffectConfig::SetFactoryValues() {
    items_.fill(LedEffectItem{5, 0, 0, 0});
    sel_ = kFactorySel;
}

void LedEffectConfig::ReadRecord(std::size_t k, const pugi::xml_node& node) {
    LedEffectItem& item = items_[k];
    item.speed = ByteAttribute(node, "speed", 0);
    if (item.speed > 2) {
        item.speed = 1;
    }
    item.brightness = ByteAttribute(node, "brightness", 0);
    if (item.brightness > 5) {
        item.brightness = 5;
    }
    item.deriction = ByteAttribute(node, "deriction", 0);
    if (item.deriction > 1) {
        item.deriction = 0;
    }
    item.selection = ByteAttribute(node, "selection", 1);
}

void LedEffectConfig::WriteRecord(std::size_t k, pugi::xml_node& node) const {
    const LedEffectItem& item = items_[k];
    AppendDecimalAttribute(node, "speed", item.speed);
    AppendDecimalAttribute(node, "brightness", item.brightness);
    AppendDecimalAttribute(node, "deriction", item.deriction);
    AppendDecimalAttribute(node, "selection", item.selection);
}

}  // namespace kb
