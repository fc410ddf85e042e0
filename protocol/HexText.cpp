#include "protocol/HexText.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace vorn {

namespace {

constexpr std::size_t kQuadDigits = 4;
// Typed text is only counted this far: anything longer is too long anyway.
constexpr std::size_t kCountLimit = 10;

constexpr std::array<std::int8_t, 256> kDigitValues = [] {
    std::array<std::int8_t, 256> table{};
    table.fill(-1);
    for (int d = 0; d < 10; ++d)
        table['0' + d] = static_cast<std::int8_t>(d);
    for (int d = 0; d < 6; ++d) {
        table['A' + d] = static_cast<std::int8_t>(10 + d);
        table['a' + d] = static_cast<std::int8_t>(10 + d);
    }
    return table;
}();

// Digits of `text` most significant first, or -1 at the first non-digit.
int DecodeDigits(std::string_view text) {
    int value = 0;
    for (char c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

// -2 empty, -3 too long, -1 not hex, 0 when the text is 1 to 4 hex digits.
int CheckHexText(std::string_view text) {
    const std::size_t count = std::min(text.size(), kCountLimit);
    if (count == 0)
        return -2;
    if (count > kQuadDigits)
        return -3;
    return DecodeDigits(text) < 0 ? -1 : 0;
}

} // namespace

int HexDigitValue(char c) {
    return kDigitValues[static_cast<unsigned char>(c)];
}

int DecodeHexPair(std::string_view text) {
    return text.size() == 2 ? DecodeDigits(text) : -1;
}

int DecodeHexQuad(std::string_view text) {
    return text.size() == kQuadDigits ? DecodeDigits(text) : -1;
}

std::string FormatHex4(int value) {
    const auto bits = static_cast<unsigned>(value) & 0xFFFFu;
    std::string text(kQuadDigits, '0');
    for (std::size_t i = 0; i < kQuadDigits; ++i)
        text[i] = kUpperHexDigits[(bits >> (4 * (kQuadDigits - 1 - i))) & 0xFu];
    return text;
}

int ParseHexText(std::string_view text) {
    const int check = CheckHexText(text);
    return check < 0 ? check : DecodeDigits(text);
}

std::optional<std::string> NormalizeHex4(std::string_view text) {
    if (CheckHexText(text) < 0)
        return std::nullopt;
    std::string padded(kQuadDigits - text.size(), '0');
    padded.append(text);
    return padded;
}

} // namespace vorn
