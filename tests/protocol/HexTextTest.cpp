#include "protocol/HexText.h"

#include <climits>
#include <gtest/gtest.h>

namespace vorn {
namespace {

// Each text with what ParseHexText and NormalizeHex4 make of it.
struct TextCase {
    std::string_view text;
    int value;
    std::optional<std::string> normal;
};

TEST(HexText, TypedTextIsCheckedForLengthThenDigits) {
    const TextCase cases[] = {
        {"2CAA", 0x2CAA, "2CAA"},    {"2caa", 0x2CAA, "2caa"},    {"7", 7, "0007"},
        {"2c", 0x2C, "002c"},        {"FFFF", 65535, "FFFF"},     {"", -2, std::nullopt},
        {"12345", -3, std::nullopt}, {"G2345", -3, std::nullopt}, {"2CAG", -1, std::nullopt},
        {" 7", -1, std::nullopt},    {"-1", -1, std::nullopt}};
    for (const auto& c : cases) {
        EXPECT_EQ(ParseHexText(c.text), c.value) << c.text;
        EXPECT_EQ(NormalizeHex4(c.text), c.normal) << c.text;
    }
}

TEST(HexText, FormatHex4WritesTheLowSixteenBitsInUppercase) {
    const std::pair<int, std::string_view> cases[] = {
        {0, "0000"},     {0x2CAB, "2CAB"}, {0xA, "000A"},     {65535, "FFFF"},
        {65536, "0000"}, {-1, "FFFF"},     {INT_MIN, "0000"}, {INT_MAX, "FFFF"}};
    for (const auto& [value, text] : cases)
        EXPECT_EQ(FormatHex4(value), text) << value;
}

TEST(HexText, PairsAndQuadsNeedExactlyTheirDigitCount) {
    const std::pair<std::string_view, int> cases[] = {{"aF", 0xAF}, {"00", 0}, {"G0", -1},
                                                      {"0:", -1},   {"A", -1}, {"ABC", -1}};
    for (const auto& [text, value] : cases)
        EXPECT_EQ(DecodeHexPair(text), value) << text;
    EXPECT_EQ(DecodeHexQuad("2cAB"), 0x2CAB);
    EXPECT_EQ(DecodeHexQuad("2CA"), -1);
    EXPECT_EQ(DecodeHexQuad("2C@B"), -1);
}

} // namespace
} // namespace vorn
