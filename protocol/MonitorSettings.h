#pragma once

#include <cstdint>

namespace vorn {

// The thresholds the wheels are evaluated against and the units they are
// shown in. Only a save of the settings changes them.
struct MonitorSettings {
    std::int32_t LowPressureSet = 26;   // whole psi
    std::int32_t HighPressureSet = 45;  // whole psi
    std::int32_t HighTempSet = 70;      // whole degrees Celsius
    std::int32_t PressureUnitIndex = 0; // 0 psi, 1 bar, 2 kPa, 3 kg/cm2
    // The unit temperatures are shown in (0 °C, 1 °F, anything else °C); the
    // threshold above stays in °C.
    std::int32_t TemperatureUnitIndex = 0;
    // The vehicle's wheels, whose alarm bits keep the alarm on: the four of
    // the unit's own screen, or six.
    std::int32_t AlarmWheels = 4;
};

} // namespace vorn
