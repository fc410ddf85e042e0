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
};

} // namespace vorn
