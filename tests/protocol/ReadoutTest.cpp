#include "protocol/Readout.h"

#include <climits>
#include <gtest/gtest.h>

namespace vorn {
namespace {

std::string shown(const std::optional<RowGlyphs>& row) {
    return row ? RowText(*row) : "---";
}

// Without a reading (400 or more, or a negative value that only a damaged
// frame brings) the row is dashes.
TEST(Readout, PressureReadsInEveryUnit) {
    const std::tuple<std::int32_t, std::int32_t, std::string> rows[] = {
        {0, 19, "09.5"},    {0, 64, "32.0"},  {0, 199, "99.5"}, {0, 200, "100"},  {0, 201, "100"},
        {0, 399, "199"},    {0, 91, "45.5"},  {1, 64, "2.20"},  {1, 289, "9.97"}, {1, 290, "10.0"},
        {1, 399, "13.7"},   {2, 64, "220"},   {2, 289, "997"},  {2, 290, "999"},  {2, 18, "062"},
        {3, 64, "2.24"},    {3, 289, "10.1"}, {4, 64, "000"},   {0, 400, "---"},  {1, -1, "---"},
        {0, INT_MIN, "---"}};
    for (const auto& [unit, p, text] : rows)
        EXPECT_EQ(shown(PressureGlyphs(p, unit)), text) << unit << " " << p;
}

TEST(Readout, TemperatureReadsInCelsius) {
    const std::pair<std::int32_t, std::string> rows[] = {
        {0, "-40"},   {39, "-01"},  {40, " 00"},  {110, " 70"}, {139, " 99"}, {140, "100"},
        {198, "158"}, {-59, "-99"}, {199, "---"}, {511, "---"}, {-60, "---"}, {INT_MIN, "---"}};
    for (const auto& [t, text] : rows)
        EXPECT_EQ(shown(TemperatureGlyphs(t)), text) << t;
}

} // namespace
} // namespace vorn
