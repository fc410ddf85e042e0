#include "tests/display/ScreenProbe.h"

#include <cstring>
#include <gtest/gtest.h>

namespace vorn {
namespace {

using test::at;
using namespace status;

// Wheel 0 drawn from its reading and the status word the monitor gave it:
// each row read back from the pixels with its colour (Lime, Red when the
// word has the row's alarm bit, Navy dashes without a reading), and its tyre
// icon probed in the outer band, the ring band, the upper and the lower core
// (as Lime, White, blacK or Red).
TEST(WheelDrawing, DigitsAndTyreIconFollowTheReadingAndTheStatusWord) {
    const struct {
        std::int32_t unit, p, t, word;
        const char *pressure, *temperature, *icon;
    } rows[] = {
        {0, 64, 60, SensorFlag, "32.0 L", " 20 L", "LWKK"},
        {1, 64, 140, SensorFlag | HighTemperature, "2.20 L", "100 R", "LWRR"},
        {0, 19, 25, SensorFlag | LowPressure, "09.5 R", "-15 L", "RWWK"},
        {0, 51, 111, SensorFlag | LowPressure | HighTemperature, "25.5 R", " 71 R", "RWWR"},
        {3, 289, 40, SensorFlag | HighPressure, "10.1 R", " 00 L", "RKKK"},
        {0, 201, 111, SensorFlag | HighPressure | HighTemperature, "100 R", " 71 R", "RRRR"},
        {2, 400, 199, 0, "--- N", "--- N", "K"}, // absent: black, hatched inside
    };
    test::ScreenRig rig;
    for (const auto& r : rows) {
        rig.settings.PressureUnitIndex = r.unit;
        rig.show(0, r.p, r.t, r.word);
        EXPECT_EQ(test::readRow(rig.canvas, 0, 0), r.pressure) << r.p;
        EXPECT_EQ(test::readRow(rig.canvas, 0, 1), r.temperature) << r.t;
        std::string icon;
        for (QPoint probe : {QPoint(133, 78), QPoint(136, 78), QPoint(152, 70), QPoint(152, 95)})
            icon += test::letter(at(rig.canvas, probe));
        EXPECT_EQ(icon.substr(0, std::strlen(r.icon)), r.icon) << r.word;
    }
    EXPECT_TRUE(test::hatched(rig.canvas, {140, 60}));
}

TEST(WheelDrawing, ASteadyScreenDrawsNothingAndTheAntennaFollowsTheBlinkPhase) {
    test::ScreenRig rig;
    rig.screen.DrawStaticScreen();
    rig.state.TyreBattery[3] = 3;
    rig.show(1, 64, 60, 0);
    const auto ops = rig.canvas.paintCount();
    rig.screen.RefreshDisplay(0);
    EXPECT_EQ(rig.canvas.paintCount(), ops);
    rig.screen.RefreshDisplay(1);
    EXPECT_EQ(at(rig.canvas, {70, 190}), colour::Black);
}

} // namespace
} // namespace vorn
