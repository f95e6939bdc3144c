// Identity paths, as enumeration, device notifications and the command line hand them over: the parser in
// both encodings must agree, and the whole collection number of a Linux path must be readable.
#include <cstring>

#include "FuzzSupport.h"
#include "HidrawNode_linux.h"
#include "kb/common/Utf.h"
#include "kb/device/HidPath.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view text = kbfuzz::Text(data, size);
    kb::HidPathIds narrow;
    const bool parsed = kb::ParseHidPath(text, narrow);
    kb::HidPathIds wide;
    const std::u16string utf16 = kb::Utf8ToUtf16(text);
    const bool parsedWide = kb::ParseHidPath(utf16, wide);
    // Text that is plain ASCII reads the same in both encodings.
    bool ascii = true;
    for (char c : text) {
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    }
    if (ascii && (parsed != parsedWide || (parsed && !(narrow == wide)))) {
        kbfuzz::Fail("the UTF-8 and UTF-16 parsers disagree");
    }
    // The same path as raw UTF-16 units.
    std::u16string units(size / 2, u'\0');
    if (!units.empty()) {
        std::memcpy(units.data(), data, units.size() * 2);
    }
    kb::HidPathIds raw;
    kb::ParseHidPath(units, raw);

    kb::HidMatch match;
    match.vid = narrow.vid;
    match.pids = {narrow.pid};
    match.interfaceNumber = narrow.interfaceNumber;
    match.collection = narrow.collection;
    if (parsed && !kb::MatchesHidIds(match, narrow)) {
        kbfuzz::Fail("parsed identifiers do not match themselves");
    }
    kb::MatchesHidPath(match, text);
    kb::IdentityPathCollection(text);
    return 0;
}
