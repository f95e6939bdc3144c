#include "kb/device/HidPath.h"

#include "kb/common/NumberText.h"

#include <algorithm>
#include <string>
#include <type_traits>

namespace kb {
namespace {

template <typename Char>
char32_t Lower(Char c) {
    const auto u = static_cast<char32_t>(static_cast<std::make_unsigned_t<Char>>(c));
    return u >= U'A' && u <= U'Z' ? u + (U'a' - U'A') : u;
}

template <typename Char>
bool IsAsciiAlnum(Char c) {
    const char32_t l = Lower(c);
    return (l >= U'0' && l <= U'9') || (l >= U'a' && l <= U'z');
}

// Whether `text` at `pos` starts with the lower-case ASCII `literal`, ignoring case.
template <typename Char>
bool LiteralAt(std::basic_string_view<Char> text, std::size_t pos, std::string_view literal) {
    if (pos > text.size() || text.size() - pos < literal.size()) {
        return false;
    }
    for (std::size_t i = 0; i < literal.size(); ++i) {
        if (Lower(text[pos + i]) != static_cast<char32_t>(static_cast<unsigned char>(literal[i]))) {
            return false;
        }
    }
    return true;
}

template <typename Char>
bool AlnumRunAt(std::basic_string_view<Char> text, std::size_t pos, std::size_t count) {
    if (pos > text.size() || text.size() - pos < count) {
        return false;
    }
    return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(pos),
                       text.begin() + static_cast<std::ptrdiff_t>(pos + count), IsAsciiAlnum<Char>);
}

// `literal` followed by `digits` letters or digits at `pos`: advances `pos` past it and returns the field.
template <typename Char>
bool FieldAt(std::basic_string_view<Char> text, std::size_t& pos, std::string_view literal,
             std::size_t digits, std::string& field) {
    if (!LiteralAt(text, pos, literal) || !AlnumRunAt(text, pos + literal.size(), digits)) {
        return false;
    }
    field.clear();
    for (std::size_t i = 0; i < digits; ++i) {
        field.push_back(static_cast<char>(text[pos + literal.size() + i]));
    }
    pos += literal.size() + digits;
    return true;
}

int32_t Hex(const std::string& field) {
    return StrToLong32(field, 16);
}

// The identity pattern is "hid#vid_HHHH&pid_HHHH", then optionally "&rev_HHHH", "&mi_HH" and "&colHH" in
// that order, each optional part present only when complete. Nothing has to follow the match, so taking
// each optional part greedily gives the same match as a backtracking search would.
template <typename Char>
bool Parse(std::basic_string_view<Char> path, HidPathIds& ids) {
    std::string field;
    for (std::size_t start = 0; start < path.size(); ++start) {
        std::size_t pos = start;
        HidPathIds found;
        if (!FieldAt(path, pos, "hid#vid_", 4, field)) {
            continue;
        }
        found.vid = Hex(field);
        if (!FieldAt(path, pos, "&pid_", 4, field)) {
            continue;
        }
        found.pid = Hex(field);
        FieldAt(path, pos, "&rev_", 4, field);  // read and not used
        if (FieldAt(path, pos, "&mi_", 2, field)) {
            found.interfaceNumber = Hex(field);
        }
        if (FieldAt(path, pos, "&col", 2, field)) {
            found.collection = Hex(field);
        }
        ids = found;
        return true;
    }
    return false;
}

bool AcceptsNumber(int32_t wanted, int32_t parsed) {
    if (wanted >= 0) {
        return parsed == wanted;
    }
    return wanted == -1;
}

}  // namespace

bool ParseHidPath(std::u16string_view path, HidPathIds& ids) {
    return Parse(path, ids);
}
bool ParseHidPath(std::string_view path, HidPathIds& ids) {
    return Parse(path, ids);
}

bool HasDeviceFilter(const HidMatch& match) {
    return match.vid > 0 || !match.pids.empty();
}

bool MatchesHidIds(const HidMatch& match, const HidPathIds& ids) {
    if (!match.pids.empty() && std::find(match.pids.begin(), match.pids.end(), ids.pid) == match.pids.end()) {
        return false;
    }
    if (match.vid > 0 && ids.vid != match.vid) {
        return false;
    }
    return AcceptsNumber(match.interfaceNumber, ids.interfaceNumber) &&
           AcceptsNumber(match.collection, ids.collection);
}

bool MatchesHidPath(const HidMatch& match, std::u16string_view path, HidPathIds* ids) {
    HidPathIds parsed;
    if (!ParseHidPath(path, parsed)) {
        return false;
    }
    if (ids != nullptr) {
        *ids = parsed;
    }
    return MatchesHidIds(match, parsed);
}

bool MatchesHidPath(const HidMatch& match, std::string_view path, HidPathIds* ids) {
    HidPathIds parsed;
    if (!ParseHidPath(path, parsed)) {
        return false;
    }
    if (ids != nullptr) {
        *ids = parsed;
    }
    return MatchesHidIds(match, parsed);
}

}  // namespace kb
