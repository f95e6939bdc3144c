#include "kb/common/NumberText.h"

#include <limits>

namespace kb {
namespace {

template <typename Char>
bool IsCBlank(Char c) {
    return c == Char(' ') || c == Char('\t') || c == Char('\n') || c == Char('\v') || c == Char('\f') ||
           c == Char('\r');
}

template <typename Char>
int DigitValue(Char c) {
    const auto u = static_cast<uint32_t>(c);
    if (u >= '0' && u <= '9') {
        return static_cast<int>(u - '0');
    }
    if (u >= 'a' && u <= 'z') {
        return static_cast<int>(u - 'a' + 10);
    }
    if (u >= 'A' && u <= 'Z') {
        return static_cast<int>(u - 'A' + 10);
    }
    return 99;
}

struct RawParse {
    bool negative = false;
    bool overflow = false;  // magnitude exceeded 0xFFFFFFFF
    uint64_t magnitude = 0;
    std::size_t consumed = 0;  // 0 when no digits were found
};

// The common scanning of strtol and strtoul; the magnitude saturates just above 32 bits.
template <typename Char>
RawParse ScanInteger(std::basic_string_view<Char> s, int base) {
    RawParse r;
    if (base < 0 || base == 1 || base > 36) {
        return r;
    }
    std::size_t i = 0;
    while (i < s.size() && IsCBlank(s[i])) {
        ++i;
    }
    if (i < s.size() && (s[i] == Char('+') || s[i] == Char('-'))) {
        r.negative = s[i] == Char('-');
        ++i;
    }
    const auto hasHexPrefix = [&](std::size_t at) {
        return at + 2 < s.size() && s[at] == Char('0') &&
               (s[at + 1] == Char('x') || s[at + 1] == Char('X')) && DigitValue(s[at + 2]) < 16;
    };
    if ((base == 0 || base == 16) && hasHexPrefix(i)) {
        i += 2;
        base = 16;
    } else if (base == 0) {
        base = (i < s.size() && s[i] == Char('0')) ? 8 : 10;
    }
    const std::size_t digitsStart = i;
    constexpr uint64_t kLimit = 0x1'0000'0000ULL;
    while (i < s.size()) {
        const int d = DigitValue(s[i]);
        if (d >= base) {
            break;
        }
        r.magnitude = r.magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
        if (r.magnitude >= kLimit) {
            r.overflow = true;
            r.magnitude = kLimit;
        }
        ++i;
    }
    r.consumed = i == digitsStart ? 0 : i;
    if (r.consumed == 0) {
        r.negative = false;
        r.magnitude = 0;
        r.overflow = false;
    }
    return r;
}

int32_t ToLong32(const RawParse& r) {
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    const auto magnitude = static_cast<int64_t>(r.magnitude);
    if (r.negative) {
        return magnitude > kMax + 1 ? std::numeric_limits<int32_t>::min() : static_cast<int32_t>(-magnitude);
    }
    return magnitude > kMax ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(magnitude);
}

uint32_t ToULong32(const RawParse& r) {
    if (r.overflow) {
        return 0xFFFFFFFFu;
    }
    const auto value = static_cast<uint32_t>(r.magnitude);
    return r.negative ? static_cast<uint32_t>(0u - value) : value;
}

template <typename Char>
std::optional<int32_t> ScanInt(std::basic_string_view<Char> s) {
    const RawParse r = ScanInteger(s, 10);
    if (r.consumed == 0) {
        return std::nullopt;
    }
    return ToLong32(r);
}

void Store(std::size_t* consumed, const RawParse& r) {
    if (consumed != nullptr) {
        *consumed = r.consumed;
    }
}

}  // namespace

int32_t StrToLong32(std::string_view text, int base, std::size_t* consumed) {
    const RawParse r = ScanInteger(text, base);
    Store(consumed, r);
    return ToLong32(r);
}

int32_t StrToLong32(std::u16string_view text, int base, std::size_t* consumed) {
    const RawParse r = ScanInteger(text, base);
    Store(consumed, r);
    return ToLong32(r);
}

uint32_t StrToULong32(std::string_view text, int base, std::size_t* consumed) {
    const RawParse r = ScanInteger(text, base);
    Store(consumed, r);
    return ToULong32(r);
}

uint32_t StrToULong32(std::u16string_view text, int base, std::size_t* consumed) {
    const RawParse r = ScanInteger(text, base);
    Store(consumed, r);
    return ToULong32(r);
}

std::optional<int32_t> ScanDecimalInt(std::string_view text) {
    return ScanInt(text);
}
std::optional<int32_t> ScanDecimalInt(std::u16string_view text) {
    return ScanInt(text);
}

int32_t DecimalOrHexToLong32(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsCBlank(text[i])) {
        ++i;
    }
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        ++i;
    }
    const bool hex = i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X');
    return StrToLong32(text, hex ? 16 : 10);
}

std::string FormatDecimal(int64_t value) {
    return std::to_string(value);
}

std::optional<int64_t> ParseWholeInteger(std::string_view text, int base) {
    if (base != 0 && base != 10 && base != 16) {
        return std::nullopt;
    }
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (base != 10 && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    } else if (base == 0) {
        base = 10;
    }
    if (text.empty()) {
        return std::nullopt;
    }
    // The magnitude of INT64_MIN is one more than INT64_MAX.
    const uint64_t limit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) + (negative ? 1u : 0u);
    uint64_t magnitude = 0;
    for (const char c : text) {
        const int d = DigitValue(c);
        if (d >= base) {
            return std::nullopt;
        }
        const auto b = static_cast<uint64_t>(base);
        if (magnitude > (limit - static_cast<uint64_t>(d)) / b) {
            return std::nullopt;
        }
        magnitude = magnitude * b + static_cast<uint64_t>(d);
    }
    if (negative) {
        return magnitude == limit ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(magnitude);
    }
    return static_cast<int64_t>(magnitude);
}

}  // namespace kb
