#include "tests/display/ScreenProbe.h"

#include <climits>
#include <gtest/gtest.h>

namespace vorn {
namespace {

// One screen per table, so every row is also drawn over the last. Each row
// is read back with its colour (Lime, Red, Navy dashes) and the wheel's
// status word, at the thresholds 26 psi, 45 psi and 70 C: equal is within
// limits. Without a pressure reading (or with a negative one, which only a
// damaged frame brings) the status word is cleared and the wheel is absent.
TEST(WheelEvaluation, PressureReadsInEveryUnitAgainstTheThresholds) {
    const std::tuple<std::int32_t, std::int32_t, std::string> rows[] = {
        {0, 19, "09.5 R3"},  {0, 64, "32.0 L1"},  {0, 199, "99.5 R5"}, {0, 200, "100 R5"},
        {0, 201, "100 R5"},  {0, 399, "199 R5"},  {0, 90, "45.0 L1"},  {0, 91, "45.5 R5"},
        {0, 52, "26.0 L1"},  {0, 51, "25.5 R3"},  {1, 64, "2.20 L1"},  {1, 289, "9.97 R5"},
        {1, 290, "10.0 R5"}, {1, 399, "13.7 R5"}, {2, 64, "220 L1"},   {2, 289, "997 R5"},
        {2, 290, "999 R5"},  {2, 18, "062 R3"},   {3, 64, "2.24 L1"},  {3, 289, "10.1 R5"},
        {4, 64, "000 L1"},   {0, 400, "--- N0"},  {1, -1, "--- N0"},   {0, INT_MIN, "--- N0"}};
    test::ScreenRig rig;
    for (const auto& [unit, p, shown] : rows) {
        rig.settings.PressureUnitIndex = unit;
        rig.report(3, p, 60);
        EXPECT_EQ(test::readRow(rig.canvas, 3, 0) + std::to_string(rig.state.TyreStatus[3]), shown)
            << unit << " " << p;
    }
}

// 199 and above are hot by the threshold, yet dashes never carry the hot bit.
// In degrees Fahrenheit (unit 1) the threshold stays 70 C.
TEST(WheelEvaluation, TemperatureReadsInTheChosenUnitAgainstTheCelsiusThreshold) {
    const std::tuple<std::int32_t, std::int32_t, std::string> rows[] = {
        {0, 0, "-40 L1"},       {0, 39, "-01 L1"},      {0, 40, " 00 L1"},      {0, 110, " 70 L1"},
        {0, 111, " 71 R9"},     {0, 139, " 99 R9"},     {0, 140, "100 R9"},     {0, 198, "158 R9"},
        {0, -59, "-99 L1"},     {0, 199, "--- N1"},     {0, 511, "--- N1"},     {0, -60, "--- N1"},
        {0, INT_MIN, "--- N1"}, {0, INT_MAX, "--- N1"}, {1, 110, "158 L1"},     {1, 111, "160 R9"},
        {1, 0, "-40 L1"},       {1, 22, " 00 L1"},      {1, 23, " 01 L1"},      {1, 40, " 32 L1"},
        {1, 77, " 99 L1"},      {1, 78, "100 L1"},      {1, 198, "316 R9"},     {1, 199, "--- N1"},
        {1, 255, "--- N1"},     {1, -59, "--- N1"},     {1, INT_MIN, "--- N1"}, {7, 110, " 70 L1"}};
    test::ScreenRig rig;
    for (const auto& [unit, t, shown] : rows) {
        rig.settings.TemperatureUnitIndex = unit;
        rig.report(2, 64, t);
        EXPECT_EQ(test::readRow(rig.canvas, 2, 1) + std::to_string(rig.state.TyreStatus[2]), shown)
            << unit << " " << t;
    }
}

TEST(WheelEvaluation, SteadyScreenDrawsNothing) {
    test::ScreenRig rig;
    rig.screen.DrawStaticScreen();
    rig.report(0, 64, 60);
    rig.report(3, 40, 130);
    rig.state.TyreBattery[3] = 3;
    rig.report(1, 64, 60, false); // status word 0: drawn absent at once
    EXPECT_EQ(test::at(rig.canvas, {294, 78}), colour::Black);
    const auto ops = rig.canvas.paintCount();
    rig.screen.RefreshDisplay();
    EXPECT_EQ(rig.canvas.paintCount(), ops);
}

} // namespace
} // namespace vorn
