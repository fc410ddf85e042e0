#pragma once

#include <cstdint>

namespace vorn {

// The thresholds and the pressure unit the wheels are evaluated against and
// shown in. Only a save of the settings changes them.
struct MonitorSettings {
    std::int32_t LowPressureSet = 26;   // whole psi
    std::int32_t HighPressureSet = 45;  // whole psi
    std::int32_t HighTempSet = 70;      // whole degrees Celsius
    std::int32_t PressureUnitIndex = 0; // 0 psi, 1 bar, 2 kPa, 3 kg/cm2
    // The vehicle's wheels, whose alarm bits keep the alarm on: the four of
    // the unit's own screen, or six.
    std::int32_t AlarmWheels = 4;
};

} // namespace vorn
