#include "kb/lighting/LedEffectConfig.h"

#include <pugixml.hpp>

#include <string>

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

LedEffectConfig::LedEffectConfig() {
    SetFactoryValues();
}

void LedEffectConfig::SetFactoryValues() {
    items_.fill(LedEffectItem{5, 0, 0, 0});
    sel_ = kFactorySel;
}

bool LedEffectConfig::Load(const std::filesystem::path& path) {
    if (path.empty()) {
        return false;
    }
    path_ = path;
    pugi::xml_document doc;
    if (!LoadXmlFile(doc, path_, pugi::encoding_utf8)) {
        SetFactoryValues();
        Save();
        return false;
    }
    const pugi::xml_node root = doc.child("effect");
    const int32_t sel = StrToLong32(std::string_view(root.attribute("sel").value()), 10);
    sel_ = static_cast<uint32_t>(sel) > static_cast<uint32_t>(kFactorySel) ? 0 : sel;

    std::size_t k = 0;
    for (const pugi::xml_node& child : root.children()) {
        if (k == items_.size()) {
            break;
        }
        LedEffectItem& item = items_[k++];
        item.speed = ByteAttribute(child, "speed", 0);
        if (item.speed > 2) {
            item.speed = 1;
        }
        item.brightness = ByteAttribute(child, "brightness", 0);
        if (item.brightness > 5) {
            item.brightness = 5;
        }
        item.deriction = ByteAttribute(child, "deriction", 0);
        if (item.deriction > 1) {
            item.deriction = 0;
        }
        item.selection = ByteAttribute(child, "selection", 1);
    }
    return true;
}

bool LedEffectConfig::Save() {
    if (path_.empty()) {
        return false;
    }
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child("effect");
    AppendDecimalAttribute(root, "sel", sel_);
    for (const LedEffectItem& item : items_) {
        pugi::xml_node node = root.append_child("item");
        AppendDecimalAttribute(node, "speed", item.speed);
        AppendDecimalAttribute(node, "brightness", item.brightness);
        AppendDecimalAttribute(node, "deriction", item.deriction);
        AppendDecimalAttribute(node, "selection", item.selection);
    }
    return SaveXmlFile(doc, path_).ok;
}

void LedEffectConfig::Reset() {
    SetFactoryValues();
    Save();
}

LedEffectItem* LedEffectConfig::GetItem(int index) {
    const int n = index == -1 ? sel_ : index;
    return n >= 0 && n < kItemCount ? &items_[static_cast<std::size_t>(n)] : nullptr;
}

const LedEffectItem* LedEffectConfig::GetItem(int index) const {
    return const_cast<LedEffectConfig*>(this)->GetItem(index);
}

void LedEffectConfig::SetSel(int sel) {
    sel_ = sel;
    Save();
}

}  // namespace kb
