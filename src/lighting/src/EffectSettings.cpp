#include "kb/lighting/EffectSettings.h"

#include <pugixml.hpp>

#include <string_view>

#include "kb/common/NumberText.h"
#include "kb/common/XmlFile.h"

namespace kb {

bool EffectSettingsFile::Load(const std::filesystem::path& path) {
    if (path.empty()) {
        return false;
    }
    path_ = path;
    lastError_.clear();
    pugi::xml_document doc;
    // An unusable file is moved aside before the factory values take its place.
    lastLoad_ = LoadXmlFile(doc, path_, pugi::encoding_utf8);
    if (lastLoad_.state != LoadState::Loaded) {
        SetFactoryValues();
        // A failed rewrite is left in LastError(); the factory values stay in memory for the run.
        static_cast<void>(Save());
        return false;
    }
    const pugi::xml_node root = doc.child("effect");
    const int32_t sel = StrToLong32(std::string_view(root.attribute("sel").value()), 10);
    sel_ = static_cast<uint32_t>(sel) > static_cast<uint32_t>(maxSel_) ? 0 : sel;

    std::size_t k = 0;
    for (const pugi::xml_node& child : root.children()) {
        if (k == RecordCount()) {
            break;
        }
        ReadRecord(k++, child);
    }
    return true;
}

bool EffectSettingsFile::Save() {
    if (path_.empty()) {
        lastError_ = "no settings file: nothing was loaded";
        return false;
    }
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child("effect");
    AppendDecimalAttribute(root, "sel", sel_);
    for (std::size_t k = 0; k < RecordCount(); ++k) {
        pugi::xml_node item = root.append_child("item");
        WriteRecord(k, item);
    }
    const FileWriteResult written = SaveXmlFile(doc, path_);
    lastError_ = written.error;
    return written.ok;
}

bool EffectSettingsFile::Reset() {
    SetFactoryValues();
    return Save();
}

bool EffectSettingsFile::SetSel(int sel) {
    sel_ = sel;
    return Save();
}

}  // namespace kb
