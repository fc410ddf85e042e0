// The evaluation and the alarm of the monitor on its own: reports on the
// line, the 100 ms ticks driven by the test.
#include "tests/monitor/MonitorFixture.h"

#include <gtest/gtest.h>

namespace vorn {
namespace {

using test::MonitorFixture;
using test::sensorFrame;

void ticks(MonitorCore& m, int n) {
    for (int i = 0; i < n; ++i)
        m.Timer1Timer();
}

// At the thresholds 26 psi, 45 psi and 70 C equal is within limits; without
// a pressure reading the word is cleared before the temperature's test, and
// a temperature shown as dashes never carries the hot bit.
TEST(MonitorEvaluation, AReportSetsTheTableAndTheWheelsStatusWord) {
    const std::tuple<int, int, std::int32_t> rows[] = {{64, 65, 1},  {90, 110, 1}, {91, 110, 5},
                                                       {52, 111, 9}, {51, 60, 3},  {400, 120, 8},
                                                       {100, 199, 5}};
    MonitorFixture f;
    MonitorCore& m = f.start();
    for (const auto& [p, t, word] : rows) {
        f.receive(QByteArray::fromStdString(sim::frame(sim::longReport({2, 0, p, t}))));
        EXPECT_EQ(m.state().TyrePressure[2], p);
        EXPECT_EQ(m.state().TyreStatus[2], word) << p << " " << t;
    }
}

TEST(MonitorAlarm, ALowWheelRaisesOnceTonesPerFlipAndAgainAfterAcknowledgeOnAChange) {
    MonitorFixture f;
    MonitorCore& m = f.start();
    f.receive(sensorFrame(0, 20, 20));
    EXPECT_EQ(m.state().AlarmActive, 1);
    EXPECT_EQ(m.panels().brandColour, PanelColour::Red);
    EXPECT_EQ(m.panels().brandCaption, "ALARM !");
    // Every ninth tick flips the phase and sounds.
    for (const auto& [n, tones] : {std::pair{7, 0u}, {1, 1u}, {17, 2u}, {1, 3u}}) {
        ticks(m, n);
        EXPECT_EQ(f.tones.played.size(), tones) << n;
    }
    EXPECT_EQ(f.tones.played[0].hz, 2000);
    EXPECT_EQ(f.tones.played[0].ms, 100);
    EXPECT_EQ(m.blinkPhase(), 1);

    m.acknowledge(); // sends nothing during an alarm
    EXPECT_EQ(m.panels().brandCaption, "KESSIDO");
    ticks(m, 18); // raised once while it persists
    EXPECT_EQ(f.tones.played.size(), 3u);
    EXPECT_EQ(m.state().AlarmActive, 0);
    f.receive(sensorFrame(0, 20, 80)); // the status word changes
    EXPECT_EQ(m.panels().brandCaption, "ALARM !");
    EXPECT_EQ(f.unit.read(50), QByteArray());
}

TEST(MonitorAlarm, NoAlarmInLearningOrTestMode) {
    for (const auto& [mode, caption] :
         {std::pair{"$LEARN#", "Learn ID"}, {"$TEST#", "Test Mode"}}) {
        MonitorFixture f;
        MonitorCore& m = f.start();
        f.receive(mode + sensorFrame(0, 20, 80));
        ticks(m, 9); // a flip, and still short of test-mode ageing
        EXPECT_EQ(m.panels().brandCaption, caption);
        EXPECT_EQ(m.state().AlarmActive, 0) << mode;
        EXPECT_EQ(m.state().TyreStatus[0], 11) << mode; // still evaluated
    }
}

// What the notifier, MQTT and the history hear of the alarm (the monitor's
// alarm signals): the alarm as it stands after each refresh. A hidden wheel's
// raise that the refresh takes back reaches none of them; on a six-wheel
// vehicle a four-sensor set's alarm ends by itself (wheels 4 and 5 count
// once reported), while wheels 0 to 3 that never reported keep it on.
TEST(MonitorAlarm, OutputsHearOfTheAlarmAsItStandsAfterEachRefresh) {
    MonitorFixture f;
    MonitorCore& m = f.start();
    std::vector<std::string> heard;
    QObject::connect(&m, &MonitorCore::alarmWasRaised, [&](int wheel, std::int32_t status) {
        heard.push_back("raised " + std::to_string(wheel) + " " + std::to_string(status));
    });
    QObject::connect(&m, &MonitorCore::alarmWasEnded,
                     [&](AlarmEnd how) { heard.push_back("ended " + std::to_string(int(how))); });
    QByteArray frontWheels;
    for (int wheel = 0; wheel < 4; ++wheel)
        frontWheels += sensorFrame(wheel, 32, 25);
    const struct {
        bool six, click;
        QByteArray frames;
        const char* caption;
        std::vector<std::string> heard;
    } steps[] = {
        {false, false, frontWheels, "KESSIDO", {}},
        {false, false, sensorFrame(4, 20, 25), "KESSIDO", {}}, // the flash, as on the unit
        {false, false, sensorFrame(0, 32, 80), "ALARM !", {"raised 0 9"}},
        // Wheel 4 raises anew (now high) in the refresh that ends the alarm.
        {false, false, sensorFrame(0, 32, 25) + sensorFrame(4, 50, 25), "KESSIDO", {"ended 0"}},
        {true, false, sensorFrame(4, 20, 25), "ALARM !", {"raised 4 3"}},
        {true, false, sensorFrame(4, 32, 25), "KESSIDO", {"ended 0"}}, // wheel 5 never reported
        {true, false, sensorFrame(1, 32, 80), "ALARM !", {"raised 1 9"}},
        {true, true, {}, "KESSIDO", {"ended 1"}},
        {true, false, sensorFrame(1, 32, 25), "KESSIDO", {}}, // acknowledged already
    };
    for (const auto& step : steps) {
        m.setWheels(step.six ? 6 : 4);
        f.receive(step.frames);
        if (step.click)
            m.acknowledge();
        EXPECT_EQ(m.panels().brandCaption, step.caption) << step.frames.toStdString();
        EXPECT_EQ(heard, step.heard) << step.frames.toStdString();
        heard.clear();
    }
    MonitorFixture fresh;
    fresh.start().setWheels(6);
    fresh.receive(sensorFrame(0, 20, 20));
    fresh.receive(sensorFrame(0, 32, 20));
    EXPECT_EQ(fresh.core->state().AlarmActive, 1);
}

TEST(MonitorAlarm, CalibrationTimesOutOnceAfterThirtyTicks) {
    MonitorFixture f;
    MonitorCore& m = f.start();
    f.receive("$CAL0#");
    ticks(m, 28);
    EXPECT_EQ(m.panels().calibrationCaption, "Start");
    ticks(m, 1);
    EXPECT_EQ(m.panels().calibrationCaption, "Error");
    EXPECT_EQ(m.panels().calibrationColour, PanelColour::Red);
    int changes = 0;
    QObject::connect(&m, &MonitorCore::calibrationChanged, [&] { ++changes; });
    ticks(m, 40);
    EXPECT_EQ(changes, 0); // once only
    EXPECT_TRUE(f.tones.played.empty());
}

} // namespace
} // namespace vorn
