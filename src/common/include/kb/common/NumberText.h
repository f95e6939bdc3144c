// Number conversions with the semantics of the C library's strtol/strtoul family on a platform whose
// `long` is 32 bits. Settings files rely on these exact rules (partial numbers, clamping, wrapping of
// negated unsigned values), so every reader converts through here and nowhere else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kb {

// strtol with a 32-bit long: leading blanks, an optional sign, for base 16 an optional "0x"/"0X", for
// base 0 the C prefixes; stops at the first character that is not a digit of the base. No digits gives 0
// and *consumed = 0. Values outside the signed 32-bit range are clamped to it.
int32_t StrToLong32(std::string_view text, int base, std::size_t* consumed = nullptr);
int32_t StrToLong32(std::u16string_view text, int base, std::size_t* consumed = nullptr);

// strtoul with a 32-bit unsigned long: as above, but a value above 0xFFFFFFFF gives 0xFFFFFFFF and a
// leading minus negates the result modulo 2^32 ("-1" gives 0xFFFFFFFF).
uint32_t StrToULong32(std::string_view text, int base, std::size_t* consumed = nullptr);
uint32_t StrToULong32(std::u16string_view text, int base, std::size_t* consumed = nullptr);

// sscanf(text, "%d", &v): nullopt when nothing matched (no digits after optional blanks and sign),
// otherwise the value clamped to the 32-bit range.
std::optional<int32_t> ScanDecimalInt(std::string_view text);
std::optional<int32_t> ScanDecimalInt(std::u16string_view text);

// Decimal text of a number, as "%d" / "%u" print it.
std::string FormatDecimal(int64_t value);

// The whole text as one number, for command lines and scripts, where a typo must not pass as a value:
// an optional sign, then digits of the base and nothing else (no blanks). Base 10; base 16, which also
// takes a "0x"/"0X" prefix; or base 0: hexadecimal after "0x"/"0X", else decimal (never octal).
// nullopt when the text is anything else or the value does not fit 64 bits.
std::optional<int64_t> ParseWholeInteger(std::string_view text, int base);

}  // namespace kb
