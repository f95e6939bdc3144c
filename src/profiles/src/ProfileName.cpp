#include "kb/profiles/ProfileName.h"

#include <algorithm>
#include <cctype>

#include "kb/common/Utf.h"

namespace kb {

std::string CheckProfileName(std::string_view name) {
    if (name.empty()) {
        return "a profile name cannot be empty";
    }
    const std::u16string wide = Utf8ToUtf16(name);
    if (Utf16ToUtf8(wide) != name) {
        return "a profile name must be UTF-8 text";
    }
    std::size_t characters = 0;
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const bool lowSurrogate = wide[i] >= 0xDC00 && wide[i] <= 0xDFFF;
        characters += lowSurrogate ? 0 : 1;
    }
    if (characters > kMaxProfileNameLength) {
        return "a profile name can have at most " + std::to_string(kMaxProfileNameLength) +
               " characters, not " + std::to_string(characters);
    }
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\') {
            return "a profile name cannot contain / or \\";
        }
        if (u < 0x20 || u == 0x7F) {
            return "a profile name cannot contain control characters";
        }
        // Characters that Windows refuses in file names: the same settings folder may travel.
        if (std::string_view("<>:\"|?*").find(c) != std::string_view::npos) {
            return "a profile name cannot contain any of < > : \" | ? *";
        }
    }
    if (name.find("..") != std::string_view::npos) {
        return "a profile name cannot contain \"..\"";
    }
    if (name.front() == '.') {
        return "a profile name cannot start with a dot";
    }
    if (name.front() == ' ' || name.back() == ' ' || name.back() == '.') {
        return "a profile name cannot start or end with a space, or end with a dot";
    }
    if (SameProfileName(name, "active")) {
        return "\"active\" is kept for the name of the active profile's marker";
    }
    return {};
}

bool SameProfileName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::filesystem::path ProfilePathPart(std::string_view name) {
    return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(name.data()), name.size()));
}

std::string PathPartText(const std::filesystem::path& part) {
    const std::u8string text = part.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

}  // namespace kb
