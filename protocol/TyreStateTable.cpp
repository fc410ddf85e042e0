#include "protocol/TyreStateTable.h"

#include <limits>

namespace vorn {

namespace {
// Wheels whose readings age in test mode; 4 and 5 keep theirs.
constexpr int kAgedWheels = 4;
constexpr std::int32_t kSilentTicks = 10;
} // namespace

TyreStateTable::TyreStateTable() {
    TyreTemperature.fill(ZeroCelsius);
}

void TyreStateTable::ResetReadings() {
    for (int w = 0; w < kShownWheels; ++w) {
        TyrePressure[w] = NoReading;
        TyreTemperature[w] = NoReading;
    }
}

void TyreStateTable::StoreSensorReport(int wheel, std::int32_t battery, bool sensorFlag,
                                       std::int32_t pressure, std::int32_t temperature) {
    if (wheel < 0 || wheel >= kWheelSlots)
        return;
    TyreBattery[wheel] = battery;
    if (sensorFlag)
        TyreStatus[wheel] |= status::SensorFlag;
    else
        TyreStatus[wheel] &= ~status::SensorFlag;
    TyrePressure[wheel] = pressure;
    TyreTemperature[wheel] = temperature;
    TyreReportAge[wheel] = 0;
}

void TyreStateTable::AgeTestMode() {
    if (!inMode(MonitorModeValue::Test))
        return;
    for (int w = 0; w < kAgedWheels; ++w) {
        // Saturate rather than wrap: a wheel silent for years stays silent.
        if (TyreReportAge[w] < std::numeric_limits<std::int32_t>::max())
            ++TyreReportAge[w];
        if (TyreReportAge[w] > kSilentTicks) {
            TyreTemperature[w] = AgedTemperature;
            TyrePressure[w] = NoReading;
        }
    }
}

} // namespace vorn
