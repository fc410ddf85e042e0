#include "protocol/TyreStateTable.h"

#include <gtest/gtest.h>
#include <limits>

namespace vorn {
namespace {

constexpr auto TestMode = static_cast<std::int32_t>(MonitorModeValue::Test);
constexpr std::int32_t Alarms = status::LowPressure | status::HighTemperature;
constexpr std::int32_t Oldest = std::numeric_limits<std::int32_t>::max();

// FrameParserTest sees the readings of wheels 0 to 5 cleared by a reset and the rest kept.
TEST(TyreStateTable, AReportSetsOrClearsOnlyTheSensorBitAndAResetKeepsStatusAndBattery) {
    TyreStateTable t;
    t.TyreStatus[1] = Alarms;
    t.TyreReportAge[1] = 42;
    t.StoreSensorReport(1, 5, true, 65, 66);
    EXPECT_EQ(t.TyreStatus[1], Alarms | status::SensorFlag);
    EXPECT_EQ(t.TyreReportAge[1], 0);
    t.ResetReadings();
    EXPECT_EQ(t.TyreStatus[1], Alarms | status::SensorFlag);
    EXPECT_EQ(t.TyreBattery[1], 5);
    EXPECT_EQ(t.TyreTemperature[6], ZeroCelsius); // as every wheel starts
    t.StoreSensorReport(1, 0, false, 10, 20);
    EXPECT_EQ(t.TyreStatus[1], Alarms);
}

TEST(TyreStateTable, AReportForAWheelOutsideTheTableChangesNothing) {
    TyreStateTable t;
    for (int wheel : {-1, 16, 1000})
        t.StoreSensorReport(wheel, 1, true, 1, 1);
    for (auto array : {&TyreStateTable::TyrePressure, &TyreStateTable::TyreTemperature,
                       &TyreStateTable::TyreStatus, &TyreStateTable::TyreBattery,
                       &TyreStateTable::TyreReportAge})
        EXPECT_EQ(t.*array, TyreStateTable().*array);
}

// Mode, ticks, the age the wheels start from, and whether wheels 0 to 3 lost
// their readings; 4 and 5 never do. An age saturates rather than wrapping.
TEST(TyreStateTable, TestModeClearsFrontWheelsSilentForElevenTicks) {
    const std::tuple<std::int32_t, int, std::int32_t, bool> cases[] = {
        {TestMode, 10, 0, false}, {TestMode, 11, 0, true}, {TestMode, 1, Oldest, true},
        {0, 40, 0, false},        {1, 40, 0, false},
    };
    for (const auto& [mode, ticks, age, cleared] : cases) {
        TyreStateTable t;
        t.MonitorMode = mode;
        for (int w = 0; w < kShownWheels; ++w)
            t.StoreSensorReport(w, 1, true, 64, 60);
        t.TyreReportAge.fill(age);
        for (int i = 0; i < ticks; ++i)
            t.AgeTestMode();
        for (int w = 0; w < kShownWheels; ++w) {
            EXPECT_EQ(t.TyrePressure[w], cleared && w < 4 ? NoReading : 64) << ticks << w;
            EXPECT_EQ(t.TyreTemperature[w], cleared && w < 4 ? AgedTemperature : 60) << ticks << w;
        }
    }
}

} // namespace
} // namespace vorn
