#include "kb/profiles/PictureKeys.h"

#include <pugixml.hpp>

#include <algorithm>

#include "kb/common/NumberText.h"
#include "kb/common/Utf.h"

namespace kb {

std::vector<PictureKey> ParsePictureKeys(std::string_view xml) {
    std::vector<PictureKey> keys;
    pugi::xml_document document;
    if (!document.load_buffer(xml.data(), xml.size())) {
        return keys;
    }
    const pugi::xml_node root = document.document_element();
    if (std::string_view(root.name()) != "positions") {
        return keys;
    }
    for (const pugi::xml_node& node : root.children()) {
        if (node.type() == pugi::node_element) {
            // As the picture reads them: a decimal id, the name as UTF-8.
            keys.push_back({static_cast<uint32_t>(StrToLong32(node.attribute("id").value(), 10)),
                            Utf8ToUtf16(node.attribute("name").value())});
        }
    }
    return keys;
}

std::filesystem::path PictureKeysFile(const std::filesystem::path& packageFolder) {
    return packageFolder / "keyboard" / "kb_full_iso.xml";
}

std::optional<std::u16string> PictureKeys::NameOf(uint32_t code) const {
    for (const PictureKey& key : keys_) {
        if (key.code == code) {
            return key.name;
        }
    }
    return std::nullopt;
}

std::optional<PictureKey> PictureKeys::Find(std::u16string_view name) const {
    for (const PictureKey& key : keys_) {
        if (key.name == name) {
            return key;
        }
    }
    const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
    for (const PictureKey& key : keys_) {
        if (key.name.size() == name.size() &&
            std::equal(name.begin(), name.end(), key.name.begin(),
                       [&](char16_t a, char16_t b) { return lower(a) == lower(b); })) {
            return key;
        }
    }
    return std::nullopt;
}

}  // namespace kb
