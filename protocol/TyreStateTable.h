#pragma once

#include <array>
#include <cstdint>

namespace vorn {

// Entries per wheel array; wheel numbers 0 to 15 can be stored, 0 to 5 are shown.
inline constexpr int kWheelSlots = 16;
inline constexpr int kShownWheels = 6;

// Written into pressure and temperature to mean "no reading".
inline constexpr std::int32_t NoReading = 511;
// Temperature written by test-mode ageing for a wheel that went silent.
inline constexpr std::int32_t AgedTemperature = 255;
// Raw temperature of 0 degrees Celsius.
inline constexpr std::int32_t ZeroCelsius = 40;

// A sensor's battery digit: anything but 0 means its battery is low, which
// the screen shows as the wheel's battery icon.
constexpr bool BatteryLow(std::int32_t battery) {
    return battery != 0;
}

// Bits of TyreStatus.
namespace status {
inline constexpr std::int32_t SensorFlag = 1;
inline constexpr std::int32_t LowPressure = 2;
inline constexpr std::int32_t HighPressure = 4;
inline constexpr std::int32_t HighTemperature = 8;
} // namespace status

enum class MonitorModeValue : std::int32_t { Normal = 0, Learning = 1, Test = 2 };

using WheelArray = std::array<std::int32_t, kWheelSlots>;

// The one record through which parser, display, alarm and commands meet.
// Plain data with fixed initial values; touched on the GUI thread only.
struct TyreStateTable {
    WheelArray TyrePressure{};    // half-psi steps
    WheelArray TyreTemperature{}; // degrees Celsius plus 40
    WheelArray TyreStatus{};      // bits of namespace status
    WheelArray TyreBattery{};     // battery character minus '0'
    WheelArray TyreReportAge{};   // alarm ticks since the last report

    std::int32_t MonitorMode = 0; // MonitorModeValue
    std::int32_t AlarmActive = 0;
    std::uint8_t CalibrationRunning = 0;
    std::int32_t CalibrationTicks = 0;
    std::uint8_t FactoryMode = 0;
    std::int32_t TuningValue = 0;
    std::int32_t AutotxClicks = 0;

    TyreStateTable();

    // Pressure and temperature of the shown wheels become NoReading.
    void ResetReadings();

    // One wheel's sensor report; a wheel outside 0 to 15 is ignored.
    void StoreSensorReport(int wheel, std::int32_t battery, bool sensorFlag, std::int32_t pressure,
                           std::int32_t temperature);

    // One alarm tick in test mode: wheels 0 to 3 that stayed silent for more
    // than ten ticks lose their reading. Does nothing outside test mode.
    void AgeTestMode();

    bool inMode(MonitorModeValue mode) const {
        return MonitorMode == static_cast<std::int32_t>(mode);
    }
};

} // namespace vorn
