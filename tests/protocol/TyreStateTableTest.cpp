#include "protocol/TyreStateTable.h"

#include <gtest/gtest.h>

namespace vorn {
namespace {

TEST(TyreStateTable, StartsWithEveryWheelAtZeroPsiAndZeroCelsiusAndNoSensor) {
    const TyreStateTable t;
    for (int w = 0; w < kWheelSlots; ++w) {
        EXPECT_EQ(t.TyrePressure[w], 0);
        EXPECT_EQ(t.TyreTemperature[w], 40);
        EXPECT_EQ(t.TyreStatus[w], 0);
        EXPECT_EQ(t.TyreBattery[w], 0);
        EXPECT_EQ(t.TyreReportAge[w], 0);
    }
    EXPECT_EQ(t.MonitorMode, 0);
    EXPECT_EQ(t.AlarmActive, 0);
    EXPECT_EQ(t.CalibrationRunning, 0);
    EXPECT_EQ(t.FactoryMode, 0);
}

TEST(TyreStateTable, ResetReadingsTouchesOnlyReadingsOfShownWheels) {
    TyreStateTable t;
    t.StoreSensorReport(2, 3, true, 64, 60);
    t.StoreSensorReport(7, 1, true, 70, 70);
    t.ResetReadings();
    for (int w = 0; w < kShownWheels; ++w) {
        EXPECT_EQ(t.TyrePressure[w], NoReading);
        EXPECT_EQ(t.TyreTemperature[w], NoReading);
    }
    EXPECT_EQ(t.TyreStatus[2], status::SensorFlag);
    EXPECT_EQ(t.TyreBattery[2], 3);
    EXPECT_EQ(t.TyrePressure[7], 70);
}

TEST(TyreStateTable, StoreSensorReportSetsAndClearsOnlyTheSensorBit) {
    TyreStateTable t;
    t.TyreStatus[1] = status::LowPressure | status::HighTemperature;
    t.TyreReportAge[1] = 42;
    t.StoreSensorReport(1, 5, true, 65, 65);
    EXPECT_EQ(t.TyreStatus[1], status::LowPressure | status::HighTemperature | status::SensorFlag);
    EXPECT_EQ(t.TyreBattery[1], 5);
    EXPECT_EQ(t.TyrePressure[1], 65);
    EXPECT_EQ(t.TyreTemperature[1], 65);
    EXPECT_EQ(t.TyreReportAge[1], 0);
    t.StoreSensorReport(1, 0, false, 10, 20);
    EXPECT_EQ(t.TyreStatus[1], status::LowPressure | status::HighTemperature);
}

TEST(TyreStateTable, StoreSensorReportIgnoresWheelsOutsideTheTable) {
    TyreStateTable t;
    const TyreStateTable before;
    for (int wheel : {-1, 16, 1000}) {
        t.StoreSensorReport(wheel, 1, true, 1, 1);
    }
    EXPECT_EQ(t.TyrePressure, before.TyrePressure);
    EXPECT_EQ(t.TyreStatus, before.TyreStatus);
}

struct AgeingCase {
    int mode;
    int ticks;
    bool silenced; // wheels 0 to 3 show no reading afterwards
};

class TestModeAgeing : public testing::TestWithParam<AgeingCase> {};

TEST_P(TestModeAgeing, SilentFrontWheelsLoseTheirReadingAfterElevenTicks) {
    const AgeingCase c = GetParam();
    TyreStateTable t;
    t.MonitorMode = c.mode;
    for (int w = 0; w < kShownWheels; ++w)
        t.StoreSensorReport(w, 1, true, 64, 60);
    for (int i = 0; i < c.ticks; ++i)
        t.AgeTestMode();
    for (int w = 0; w < 4; ++w) {
        EXPECT_EQ(t.TyrePressure[w], c.silenced ? NoReading : 64) << "wheel " << w;
        EXPECT_EQ(t.TyreTemperature[w], c.silenced ? 255 : 60) << "wheel " << w;
        EXPECT_EQ(t.TyreReportAge[w], c.mode == 2 ? c.ticks : 0);
    }
    for (int w = 4; w < kShownWheels; ++w) {
        EXPECT_EQ(t.TyrePressure[w], 64) << "wheel " << w << " never ages";
        EXPECT_EQ(t.TyreReportAge[w], 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Ticks, TestModeAgeing,
                         testing::Values(AgeingCase{2, 10, false}, AgeingCase{2, 11, true},
                                         AgeingCase{2, 40, true}, AgeingCase{0, 40, false},
                                         AgeingCase{1, 40, false}));

TEST(TyreStateTable, AgedWheelKeepsBeingClearedUntilAReportArrivesAndNeverOverflows) {
    TyreStateTable t;
    t.MonitorMode = 2;
    t.TyreReportAge[0] = std::numeric_limits<std::int32_t>::max();
    t.AgeTestMode();
    EXPECT_EQ(t.TyreReportAge[0], std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(t.TyrePressure[0], NoReading);
    t.StoreSensorReport(0, 1, true, 64, 60);
    t.AgeTestMode();
    EXPECT_EQ(t.TyrePressure[0], 64);
    EXPECT_EQ(t.TyreReportAge[0], 1);
}

} // namespace
} // namespace vorn
