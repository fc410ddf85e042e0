#include "tests/display/ScreenProbe.h"

#include <gtest/gtest.h>

namespace vorn {
namespace {

using test::at;
using Captions = std::vector<std::string>;

constexpr std::int32_t Good = 64, Low = 40, High = 100, Cool = 60, Hot = 120;

// Wheel 0's icon stands at (132, 48): probes in the outer band, the ring
// band, the upper core and the lower core, as Lime, White, blacK or Red.
TEST(TyreIcon, ShowsEachStateByItsColours) {
    const std::tuple<std::int32_t, std::int32_t, std::string> rows[] = {
        {Good, Cool, "LWKK"}, {Good, Hot, "LWRR"},  {Low, Cool, "RWWK"},
        {Low, Hot, "RWWR"},   {High, Cool, "RKKK"}, {High, Hot, "RRRR"}};
    test::ScreenRig rig;
    for (const auto& [p, t, colours] : rows) {
        rig.report(0, p, t);
        std::string seen;
        for (QPoint probe : {QPoint(133, 78), QPoint(136, 78), QPoint(152, 70), QPoint(152, 95)})
            seen += test::letter(at(rig.canvas, probe));
        EXPECT_EQ(seen, colours) << p << " " << t;
    }
    rig.report(0, High, Hot, false); // absent whatever its bits: black, hatched inside
    EXPECT_EQ(at(rig.canvas, {133, 78}), colour::Black);
    EXPECT_TRUE(test::hatched(rig.canvas, {140, 60}));
}

TEST(Alarm, LowWheelRaisesOnceTonesPerFlipAndReturnsAfterAcknowledgeOnAChange) {
    test::ScreenRig rig;
    rig.report(0, Low, Cool);
    EXPECT_EQ(rig.state.AlarmActive, 1);
    EXPECT_EQ(rig.effects.brand, PanelColour::Red);
    EXPECT_EQ(rig.effects.brandCaptions, Captions{"ALARM !"});
    // Every ninth tick flips the phase and sounds; in phase 1 the antenna shows.
    for (const auto& [ticks, tones] : {std::pair{8, 0u}, {1, 1u}, {17, 2u}, {1, 3u}}) {
        rig.ticks(ticks);
        EXPECT_EQ(rig.effects.tones.size(), tones) << ticks;
    }
    EXPECT_EQ(rig.effects.tones[0], (std::pair{2000, 100}));
    EXPECT_EQ(at(rig.canvas, {70, 190}), colour::Black);
    EXPECT_EQ(rig.effects.brandCaptions.size(), 1u); // raised once while it persists

    rig.state.AlarmActive = 0; // the brand panel click
    rig.ticks(18);
    EXPECT_EQ(rig.effects.tones.size(), 3u);
    rig.report(0, Low, Hot); // the status word changes
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
        EXPECT_EQ(at(rig.canvas, {133, 78}), colour::Red); // still drawn
    }
}

// Wheels without a report are low at 0 psi. A four-sensor vehicle: wheels 4
// and 5 never report, so they hold no alarm in either view; once reported
// they count in the six-wheel view only.
TEST(Alarm, EndsWhenTheViewsWheelsAreClearCountingWheelsFourAndFiveOnceReported) {
    for (const int view : {4, 6}) {
        test::ScreenRig rig;
        rig.settings.AlarmWheels = view;
        for (int w = 0; w < 3; ++w)
            rig.report(w, Good, Cool);
        rig.report(3, Good, Hot);
        ASSERT_EQ(rig.state.AlarmActive, 1);
        rig.report(3, Good, Cool); // a cool tyre within limits raises nothing
        EXPECT_EQ(rig.state.AlarmActive, 0) << view;
        EXPECT_EQ(rig.effects.brand, PanelColour::SkyBlue);
        EXPECT_EQ(rig.effects.brandCaptions, (Captions{"ALARM !", "KESSIDO"}));

        rig.report(4, Low, Cool); // in the four-wheel view taken back by the same refresh
        rig.ticks(9);
        EXPECT_EQ(rig.state.AlarmActive, view == 6 ? 1 : 0) << view;
        EXPECT_EQ(rig.effects.tones.size(), view == 6 ? 1u : 0u) << view;
        rig.report(4, Good, Cool);
        EXPECT_EQ(rig.state.AlarmActive, 0) << view;
    }
    test::ScreenRig rig; // wheels 1 to 3 never reported: they keep it on, as on the unit
    rig.settings.AlarmWheels = 6;
    rig.report(0, Low, Cool);
    rig.report(0, Good, Cool);
    EXPECT_EQ(rig.state.AlarmActive, 1);
}

TEST(Alarm, CalibrationTimesOutOnceAfterThirtyTicks) {
    test::ScreenRig rig;
    rig.state.CalibrationRunning = 1;
    rig.ticks(29);
    EXPECT_TRUE(rig.effects.calibrationCaptions.empty());
    rig.ticks(1);
    EXPECT_EQ(rig.effects.calibration, PanelColour::Red);
    rig.ticks(40);
    EXPECT_EQ(rig.effects.calibrationCaptions, Captions{"Error"});
    EXPECT_TRUE(rig.effects.tones.empty());
}

} // namespace
} // namespace vorn
