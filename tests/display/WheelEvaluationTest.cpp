#include "display/Colours.h"
#include "tests/display/ScreenProbe.h"

#include <gtest/gtest.h>

namespace vorn {
namespace {

using test::readRow;

// One screen per table, so every row is also drawn over the last. Dashes
// are navy; without a pressure reading (or with a negative one, which only a
// damaged frame brings) the status word is cleared and the wheel is absent.
TEST(WheelEvaluation, PressureReadsInEveryUnit) {
    const struct {
        std::int32_t unit, p;
        std::string text;
    } rows[] = {
        {0, 19, "09.5"}, {0, 64, "32.0"}, {0, 199, "99.5"},    {0, 200, "100"},  {0, 201, "100"},
        {0, 399, "199"}, {1, 64, "2.20"}, {1, 289, "9.97"},    {1, 290, "10.0"}, {1, 399, "13.7"},
        {2, 64, "220"},  {2, 289, "997"}, {2, 290, "999"},     {3, 64, "2.24"},  {3, 289, "10.1"},
        {3, 65, "2.27"}, {2, 18, "062"},  {4, 64, "000"},      {-1, 64, "000"},  {0, 400, "---"},
        {0, 511, "---"}, {1, -1, "---"},  {0, INT_MIN, "---"},
    };
    test::ScreenRig rig;
    for (const auto& row : rows) {
        rig.settings.PressureUnitIndex = row.unit;
        rig.report(3, row.p, 60);
        rig.screen.RefreshDisplay();
        const test::Reading reading = readRow(rig.canvas, 3, 0);
        const bool dashes = row.text == "---";
        EXPECT_EQ(reading.text, row.text) << row.unit << " " << row.p;
        EXPECT_EQ(reading.colour == colour::Navy, dashes) << row.p;
        EXPECT_EQ(rig.state.TyreStatus[3] == 0, dashes) << row.p;
    }
}

// 199 and above are hot by the threshold, yet dashes never carry the hot bit.
TEST(WheelEvaluation, TemperatureReadsInCelsius) {
    const struct {
        std::int32_t t;
        std::string text;
    } rows[] = {{0, "-40"},   {39, "-01"},  {40, " 00"},      {139, " 99"},    {140, "100"},
                {198, "158"}, {-59, "-99"}, {65, " 25"},      {199, "---"},    {511, "---"},
                {-60, "---"}, {255, "---"}, {INT_MIN, "---"}, {INT_MAX, "---"}};
    test::ScreenRig rig;
    for (const auto& row : rows) {
        rig.report(2, 64, row.t);
        rig.screen.RefreshDisplay();
        const test::Reading reading = readRow(rig.canvas, 2, 1);
        const bool dashes = row.text == "---";
        EXPECT_EQ(reading.text, row.text) << row.t;
        EXPECT_EQ(reading.colour == colour::Navy, dashes) << row.t;
        EXPECT_FALSE(dashes && (rig.state.TyreStatus[2] & 8) != 0) << row.t;
    }
}

TEST(WheelEvaluation, ThresholdsAreWithinLimitsWhenEqual) {
    const struct {
        std::int32_t p, t;
        int row;
        QRgb colour;
        std::int32_t status;
    } rows[] = {
        {90, 60, 0, colour::Lime, 1},  {91, 60, 0, colour::Red, 1 | 4},
        {52, 60, 0, colour::Lime, 1},  {51, 60, 0, colour::Red, 1 | 2},
        {64, 110, 1, colour::Lime, 1}, {64, 111, 1, colour::Red, 1 | 8},
    };
    test::ScreenRig rig; // thresholds 26 psi, 45 psi, 70 C
    for (const auto& row : rows) {
        rig.report(1, row.p, row.t);
        rig.screen.RefreshDisplay();
        EXPECT_EQ(readRow(rig.canvas, 1, row.row).colour, row.colour) << row.p << " " << row.t;
        EXPECT_EQ(rig.state.TyreStatus[1], row.status) << row.p << " " << row.t;
    }
}

TEST(WheelEvaluation, SteadyScreenDrawsNothing) {
    test::ScreenRig rig;
    rig.screen.DrawStaticScreen();
    rig.report(0, 64, 60);
    rig.report(3, 40, 130);
    rig.report(1, 64, 60, false); // status word 0
    rig.screen.RefreshDisplay();
    EXPECT_TRUE(rig.canvas.takeChanged());
    EXPECT_EQ(test::at(rig.canvas, 294, 78), colour::Black); // wheel 1 drawn absent at once
    const auto ops = rig.canvas.paintCount();
    rig.screen.RefreshDisplay();
    EXPECT_EQ(rig.canvas.paintCount(), ops);
    EXPECT_FALSE(rig.canvas.takeChanged());
}

} // namespace
} // namespace vorn
