#include "display/Colours.h"
#include "tests/display/ScreenProbe.h"

#include <gtest/gtest.h>

namespace vorn {
namespace {

using test::at;

constexpr std::int32_t Good = 64, Low = 40, High = 100, Cool = 60, Hot = 120;

// Wheel 0's icon stands at (132, 48): probes in the outer band, the ring
// band, the upper core and the lower core, as Lime, White, blacK or Red.
TEST(TyreIcon, ShowsEachStateByItsColours) {
    const struct {
        std::int32_t p, t;
        const char* colours;
    } rows[] = {{Good, Cool, "LWKK"}, {Good, Hot, "LWRR"},  {Low, Cool, "RWWK"},
                {Low, Hot, "RWWR"},   {High, Cool, "RKKK"}, {High, Hot, "RRRR"}};
    const QPoint probes[] = {{133, 78}, {136, 78}, {152, 70}, {152, 95}};
    test::ScreenRig rig;
    for (const auto& row : rows) {
        rig.report(0, row.p, row.t);
        rig.screen.RefreshDisplay();
        for (int i = 0; i < 4; ++i) {
            const QRgb pixel = at(rig.canvas, probes[i].x(), probes[i].y());
            const char seen = pixel == colour::Lime    ? 'L'
                              : pixel == colour::White ? 'W'
                              : pixel == colour::Black ? 'K'
                              : pixel == colour::Red   ? 'R'
                                                       : '?';
            EXPECT_EQ(seen, row.colours[i]) << row.p << " " << row.t << " probe " << i;
        }
    }
    rig.report(0, High, Hot, false); // absent whatever its bits: black, hatched inside
    rig.screen.RefreshDisplay();
    EXPECT_EQ(at(rig.canvas, 133, 78), colour::Black);
    EXPECT_GT(test::hatchBlack(rig.canvas, {140, 60}), 32);
    EXPECT_LT(test::hatchBlack(rig.canvas, {140, 60}), 128);
}

TEST(Alarm, LowWheelRaisesOnceTonesPerFlipAndReturnsAfterAcknowledgeOnAChange) {
    test::ScreenRig rig;
    rig.report(0, Low, Cool);
    rig.ticks(1);
    EXPECT_EQ(rig.state.AlarmActive, 1);
    EXPECT_EQ(rig.effects.brand, PanelColour::Red);
    EXPECT_EQ(rig.effects.brandCaptions.back(), "ALARM !");
    rig.ticks(7);
    EXPECT_TRUE(rig.effects.tones.empty());
    rig.ticks(1); // the ninth tick flips the phase
    ASSERT_EQ(rig.effects.tones.size(), 1u);
    EXPECT_EQ(rig.effects.tones[0], std::make_pair(2000, 100));
    EXPECT_EQ(rig.screen.BlinkPhase(), 1);
    rig.ticks(17);
    EXPECT_EQ(rig.effects.tones.size(), 2u);
    rig.ticks(1);
    EXPECT_EQ(rig.effects.tones.size(), 3u);
    EXPECT_EQ(rig.effects.brandCaptions.size(), 1u); // raised once while it persists

    rig.state.AlarmActive = 0; // the brand panel click
    rig.ticks(18);
    EXPECT_EQ(rig.effects.tones.size(), 3u);
    rig.report(0, Low, Hot); // the status word changes
    rig.ticks(1);
    EXPECT_EQ(rig.state.AlarmActive, 1);
    EXPECT_EQ(rig.effects.brandCaptions.size(), 2u);
}

TEST(Alarm, NoAlarmInLearningOrTestMode) {
    for (auto mode : {MonitorModeValue::Learning, MonitorModeValue::Test}) {
        test::ScreenRig rig;
        rig.state.MonitorMode = static_cast<std::int32_t>(mode);
        rig.report(0, Low, Hot);
        rig.ticks(9); // a flip, and still short of test-mode ageing
        EXPECT_EQ(rig.state.AlarmActive, 0);
        EXPECT_TRUE(rig.effects.brandCaptions.empty());
        EXPECT_TRUE(rig.effects.tones.empty());
        EXPECT_EQ(rig.canvas.image().pixel(133, 78), colour::Red); // still drawn
    }
}

TEST(Alarm, EndsWhenWheelsZeroToThreeAreClearButNotForWheelFour) {
    test::ScreenRig rig;
    for (int w = 0; w < 4; ++w)
        rig.report(w, Good, Cool);
    rig.ticks(1);
    EXPECT_TRUE(rig.effects.brandCaptions.empty()); // a cool tyre within limits raises nothing
    rig.report(2, Good, Hot);
    rig.ticks(1);
    ASSERT_EQ(rig.state.AlarmActive, 1);
    rig.report(2, Good, Cool);
    rig.ticks(1);
    EXPECT_EQ(rig.state.AlarmActive, 0);
    EXPECT_EQ(rig.effects.brand, PanelColour::SkyBlue);
    EXPECT_EQ(rig.effects.brandCaptions.back(), "KESSIDO");

    rig.report(4, Low, Cool); // raised and taken back in the same refresh
    rig.ticks(17);
    EXPECT_EQ(rig.state.AlarmActive, 0);
    EXPECT_EQ(rig.effects.brandCaptions.back(), "KESSIDO");
    EXPECT_TRUE(rig.effects.tones.empty());
}

TEST(Alarm, CalibrationTimesOutOnceAfterThirtyTicks) {
    test::ScreenRig rig;
    rig.state.CalibrationRunning = 1;
    rig.ticks(29);
    EXPECT_TRUE(rig.effects.calibrationCaptions.empty());
    rig.ticks(1);
    EXPECT_EQ(rig.state.CalibrationRunning, 0);
    EXPECT_EQ(rig.effects.calibrationCaptions, std::vector<std::string>{"Error"});
    EXPECT_EQ(rig.effects.calibration, PanelColour::Red);
    rig.ticks(40);
    EXPECT_EQ(rig.effects.calibrationCaptions.size(), 1u);
    EXPECT_TRUE(rig.effects.tones.empty());
}

} // namespace
} // namespace vorn
