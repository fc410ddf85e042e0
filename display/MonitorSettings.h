#pragma once

#include <cstdint>

namespace vorn {

// The thresholds and pressure unit the display evaluates against. The settings
// panel changes them only at Save.
struct MonitorSettings {
    std::int32_t LowPressureSet = 26;   // whole psi
    std::int32_t HighPressureSet = 45;  // whole psi
    std::int32_t HighTempSet = 70;      // whole degrees Celsius
    std::int32_t PressureUnitIndex = 0; // 0 psi, 1 bar, 2 kPa, 3 kg/cm2
    // 0 degrees Celsius, 1 Fahrenheit; values and thresholds stay in Celsius.
    std::int32_t TemperatureUnitIndex = 0;
    // The wheels whose alarm bits keep the alarm on: the four of the unit's
    // own screen, or six when the window shows wheels 4 and 5 too.
    std::int32_t AlarmWheels = 4;
};

} // namespace vorn
