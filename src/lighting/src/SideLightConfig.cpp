#include "kb/lighting/SideLightConfig.h"

#include <pugixml.hpp>

#include <string>

#include "kb/common/NumberText.h"
#include "kb/common/XmlFile.h"

namespace kb {

SideLightConfig& SideLightConfig::Instance() {
    static SideLightConfig* instance = new SideLightConfig();
    return *instance;
}

SideLightConfig::SideLightConfig() {
    SetFactoryValues();
}

void SideLightConfig::SetFactoryValues() {
    // Modes 0 to 2 are animations whose level is a speed; the others are brightness levels.
    for (std::size_t i = 0; i < items_.size(); ++i) {
        items_[i].level = i < 3 ? 4 : 7;
    }
    sel_ = 0;
}

bool SideLightConfig::Load(const std::filesystem::path& path) {
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
    sel_ = static_cast<uint32_t>(sel) > static_cast<uint32_t>(kMaxSel) ? 0 : sel;

    std::size_t k = 0;
    for (const pugi::xml_node& child : root.children()) {
        if (k == items_.size()) {
            break;
        }
        const int32_t value = StrToLong32(std::string_view(child.attribute("brightness").value()), 10);
        const auto level = static_cast<uint8_t>(static_cast<uint32_t>(value) & 0x0Fu);
        items_[k++].level = level > 7 ? 0 : level;
    }
    return true;
}

bool SideLightConfig::Save() {
    if (path_.empty()) {
        return false;
    }
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child("effect");
    AppendDecimalAttribute(root, "sel", sel_);
    for (const SideLightItem& item : items_) {
        AppendDecimalAttribute(root.append_child("item"), "brightness", item.level);
    }
    return SaveXmlFile(doc, path_).ok;
}

void SideLightConfig::Reset() {
    SetFactoryValues();
    Save();
}

SideLightItem* SideLightConfig::GetItem(int index) {
    const int n = index == -1 ? sel_ : index;
    return n >= 0 && n < kItemCount ? &items_[static_cast<std::size_t>(n)] : nullptr;
}

const SideLightItem* SideLightConfig::GetItem(int index) const {
    return const_cast<SideLightConfig*>(this)->GetItem(index);
}

void SideLightConfig::SetSel(int sel) {
    sel_ = sel;
    Save();
}

}  // namespace kb
