#include "protocol/HexText.h"

#include <climits>
#include <gtest/gtest.h>

namespace vorn {
namespace {

// Typed text is checked for being empty (-2), then too long (-3) whatever its
// characters, then for digits (-1). Valid text is read in CommandsTest.
TEST(HexText, TypedTextIsCheckedForLengthBeforeDigits) {
    const std::pair<std::string_view, int> cases[] = {{"", -2},     {"12345", -3}, {"G2345", -3},
                                                      {"2CAG", -1}, {" 7", -1},    {"-1", -1}};
    for (const auto& [text, error] : cases) {
        EXPECT_EQ(ParseHexText(text), error) << text;
        EXPECT_EQ(NormalizeHex4(text), std::nullopt) << text;
    }
}

TEST(HexText, FormatHex4WritesTheLowSixteenBitsInUppercase) {
    const std::pair<int, std::string_view> cases[] = {
        {0xA, "000A"}, {0x2CAB, "2CAB"}, {65536, "0000"}, {-1, "FFFF"}, {INT_MIN, "0000"}};
    for (const auto& [value, text] : cases)
        EXPECT_EQ(FormatHex4(value), text) << value;
}

} // namespace
} // namespace vorn
