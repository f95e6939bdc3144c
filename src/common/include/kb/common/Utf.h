// UTF-8 <-> UTF-16 at the edges (XML, JSON, terminal). Both directions are total: malformed input
// becomes U+FFFD instead of failing or reading past the end.
#pragma once

#include <string>
#include <string_view>

namespace kb {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace kb
