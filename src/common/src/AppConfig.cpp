#include "kb/common/AppConfig.h"

#include <pugixml.hpp>

#include "kb/common/NumberText.h"
#include "kb/common/Utf.h"
#include "kb/common/XmlFile.h"

namespace kb {
namespace {

int32_t HexAttribute(const pugi::xml_node& node, const char* name) {
    return StrToLong32(std::string_view(node.attribute(name).value()), 16);
}

std::u16string TextAttribute(const pugi::xml_node& node, const char* name) {
    return Utf8ToUtf16(node.attribute(name).value());
}

// Splits at `separator`, leaving out empty pieces.
std::vector<std::string_view> NonEmptyParts(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        if (end > start) {
            parts.push_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

// "29:0, 56:0, 15:20" -> (29, 0), (56, 0), (15, 20). Blanks are dropped, empty tokens skipped; a token
// made only of colons has no key code and is skipped too.
std::vector<std::pair<int32_t, int32_t>> ParseCombination(std::string_view code) {
    std::string compact;
    compact.reserve(code.size());
    for (char c : code) {
        if (c != ' ') {
            compact += c;
        }
    }
    std::vector<std::pair<int32_t, int32_t>> keys;
    for (std::string_view token : NonEmptyParts(compact, ',')) {
        const std::vector<std::string_view> parts = NonEmptyParts(token, ':');
        if (parts.empty()) {
            continue;
        }
        const int32_t key = StrToLong32(parts[0], 10);
        const int32_t delay = parts.size() > 1 ? StrToLong32(parts[1], 10) : 0;
        keys.emplace_back(key, delay);
    }
    return keys;
}

}  // namespace

AppConfig& AppConfig::Instance() {
    static AppConfig* instance = new AppConfig();
    return *instance;
}

bool AppConfig::Load(const std::filesystem::path& path) {
    const FileReadResult file = ReadWholeFile(path);
    if (!file.ok) {
        *this = AppConfig();
        // The program never writes this file (it may be the installation's): it stays where it is.
        lastLoad_ = FailedReadStatus(path, file, false);
        return false;
    }
    std::string problem;
    const bool loaded = Parse(file.bytes, problem);
    lastLoad_ = loaded ? LoadedStatus(path) : UnreadableStatus(path, problem, false);
    return loaded;
}

bool AppConfig::LoadFromBuffer(std::string_view xml) {
    std::string problem;
    return Parse(xml, problem);
}

bool AppConfig::Parse(std::string_view xml, std::string& problem) {
    *this = AppConfig();
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_auto);
    if (!parsed) {
        problem = DescribeXmlError(parsed);
        return false;
    }

    language_ = std::string_view(doc.child("local").attribute("language").value()) == "cn" ? 1 : 0;

    const pugi::xml_node usb = doc.child("usb");
    vid_ = HexAttribute(usb, "vid");
    pid_ = HexAttribute(usb, "pid");
    interface_ = HexAttribute(usb, "interface");
    subdevice_ = HexAttribute(usb, "subdevice");

    for (const pugi::xml_node& child : doc.child("funkey").children()) {
        const char* name = child.attribute("name").value();
        if (*name == '\0') {
            continue;
        }
        MediaKeyItem item;
        item.name = Utf8ToUtf16(name);
        item.code = StrToULong32(std::string_view(child.attribute("code").value()), 10);
        item.path = TextAttribute(child, "path");
        item.argm = TextAttribute(child, "argm");
        mediaKeys_.push_back(std::move(item));
    }

    // Every child counts here, text included: positions in this list are what the macro library stores.
    for (const pugi::xml_node& child : doc.child("combkey").children()) {
        FunctionKeyItem item;
        item.name = TextAttribute(child, "name");
        if (const pugi::xml_attribute code = child.attribute("code")) {
            item.keys = ParseCombination(code.value());
        }
        functionKeys_.push_back(std::move(item));
    }
    return true;
}

}  // namespace kb
