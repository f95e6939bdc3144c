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

// An integer attribute of a window layout: hexadecimal when a "0x"/"0X" prefix follows the optional
// blanks and sign, decimal otherwise (a leading 0 is not octal); partial text and clamping as StrToLong32.
int32_t DecimalOrHexToLong32(std::u16string_view text);

// A whole number typed by a user (command lines, scripts), where a typo must not pass as a value: an
// optional sign, then digits of `base` (0, 10 or 16) and nothing else (no blanks). Base 16 allows a "0x"/"0X"
// prefix; base 0 reads "0x"-prefixed text as hexadecimal and everything else as decimal (a leading 0 is not
// octal). nullopt for anything else and for values outside the 64-bit range.
std::optional<int64_t> ParseWholeInteger(std::string_view text, int base = 0);

// Decimal text of a number, as "%d" / "%u" print it.
std::string FormatDecimal(int64_t value);

}  // namespace kb
