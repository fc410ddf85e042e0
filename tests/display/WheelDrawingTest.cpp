#include "tests/display/ScreenProbe.h"

#include <gtest/gtest.h>

namespace vorn {
namespace {

using test::at;
using namespace status;

constexpr std::int32_t Present = SensorFlag;

// Wheel 0's icon stands at (132, 48): probes in the outer band, the ring
// band, the upper core and the lower core, as Lime, White, blacK or Red.
TEST(TyreIcon, ShowsEachStateOfTheStatusWordByItsColours) {
    const std::pair<std::int32_t, std::string> rows[] = {
        {Present, "LWKK"},
        {Present | HighTemperature, "LWRR"},
        {Present | LowPressure, "RWWK"},
        {Present | LowPressure | HighTemperature, "RWWR"},
        {Present | HighPressure, "RKKK"},
        {Present | HighPressure | HighTemperature, "RRRR"}};
    test::ScreenRig rig;
    for (const auto& [word, colours] : rows) {
        rig.show(0, 64, 60, word);
        std::string seen;
        for (QPoint probe : {QPoint(133, 78), QPoint(136, 78), QPoint(152, 70), QPoint(152, 95)})
            seen += test::letter(at(rig.canvas, probe));
        EXPECT_EQ(seen, colours) << word;
    }
    rig.show(0, 64, 60, HighPressure | HighTemperature); // absent whatever its bits: hatched
    EXPECT_EQ(at(rig.canvas, {133, 78}), colour::Black);
    EXPECT_TRUE(test::hatched(rig.canvas, {140, 60}));
}

// Each row read back from the pixels with its colour: red when the status
// word has the row's alarm bit, navy dashes without a reading, else lime.
TEST(WheelDigits, RowsShowTheReadingInItsUnitColouredByTheStatusWord) {
    const struct {
        std::int32_t unit, p, t, word;
        const char *pressure, *temperature;
    } rows[] = {
        {0, 19, 25, Present | LowPressure, "09.5 R", "-15 L"},
        {0, 201, 111, Present | HighPressure | HighTemperature, "100 R", " 71 R"},
        {1, 64, 140, Present, "2.20 L", "100 L"},
        {3, 289, 40, Present | HighPressure, "10.1 R", " 00 L"},
        {2, 400, 199, 0, "--- N", "--- N"},
    };
    test::ScreenRig rig;
    for (const auto& r : rows) {
        rig.settings.PressureUnitIndex = r.unit;
        rig.show(3, r.p, r.t, r.word);
        EXPECT_EQ(test::readRow(rig.canvas, 3, 0), r.pressure) << r.p;
        EXPECT_EQ(test::readRow(rig.canvas, 3, 1), r.temperature) << r.t;
    }
}

TEST(WheelDigits, ASteadyScreenDrawsNothingAndTheAntennaFollowsTheBlinkPhase) {
    test::ScreenRig rig;
    rig.screen.DrawStaticScreen();
    rig.show(0, 64, 60, Present);
    rig.state.TyreBattery[3] = 3;
    rig.show(1, 64, 60, 0); // absent: drawn so at once
    EXPECT_EQ(at(rig.canvas, {294, 78}), colour::Black);
    const auto ops = rig.canvas.paintCount();
    rig.screen.RefreshDisplay(0);
    EXPECT_EQ(rig.canvas.paintCount(), ops);
    rig.screen.RefreshDisplay(1);
    EXPECT_EQ(at(rig.canvas, {70, 190}), colour::Black);
}

} // namespace
} // namespace vorn
