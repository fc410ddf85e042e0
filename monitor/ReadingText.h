#pragma once

#include "protocol/TemperatureUnits.h"

#include <QString>
#include <cstdint>

namespace vorn {

// A wheel's reading in words, in the unit the screen shows it in, with the
// digits the screen shows and without the zeros that only fill its cells:
// "32.5 psi", "2.24 bar", "25 °C", "176 °F". Empty when the screen shows
// dashes (no reading).
QString pressureText(std::int32_t raw, std::int32_t unitIndex);
QString temperatureText(std::int32_t raw, TemperatureUnit unit);

} // namespace vorn
