#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vorn {

// Digits of FormatHex4 and of the unit's checksums, by value.
inline constexpr std::string_view kUpperHexDigits = "0123456789ABCDEF";

// Value of one hex digit "0"-"9", "A"-"F" or "a"-"f"; -1 for any other character.
int HexDigitValue(char c);

// Exactly two (pair) or four (quad) hex digits, most significant first; -1 when
// the text has another length or holds a character that is not a hex digit.
int DecodeHexPair(std::string_view text);
int DecodeHexQuad(std::string_view text);

// The low 16 bits of `value` as four uppercase hex digits, zero padded.
std::string FormatHex4(int value);

// Typed frequency text to its value: -2 when empty, -3 when longer than four
// characters, -1 when a character is not a hex digit.
int ParseHexText(std::string_view text);

// One to four hex digits, kept as typed and padded on the left with "0" to
// four characters; nothing for empty, over-long or non-hex text.
std::optional<std::string> NormalizeHex4(std::string_view text);

} // namespace vorn
