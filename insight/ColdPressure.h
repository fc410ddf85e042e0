#pragma once

#include <cstdint>
#include <optional>

namespace vorn::insight {

// Milliseconds since 1970-01-01 UTC, as the history keeps them.
using TimeMs = std::int64_t;

inline constexpr TimeMs kMinuteMs = 60'000;
inline constexpr TimeMs kHourMs = 60 * kMinuteMs;
inline constexpr TimeMs kDayMs = 24 * kHourMs;

inline constexpr double kAtmospherePsi = 14.7;
inline constexpr double kKelvinAtZeroCelsius = 273.15;
// Cold pressure is what the tyre would show at this temperature.
inline constexpr double kColdCelsius = 20.0;

// The unit's raw values: pressure in half-psi steps, temperature in degrees
// Celsius plus 40. From these on the screen shows dashes: no reading.
inline constexpr std::int32_t kNoPressureRaw = 400;
inline constexpr std::int32_t kNoTemperatureRaw = 199;

// The gauge pressure the same air would have at 20 °C: absolute pressure is
// proportional to absolute temperature while the air stays in the tyre. The
// sensor's temperature is taken as the air's.
constexpr double coldPressurePsi(double gaugePsi, double celsius) {
    return (gaugePsi + kAtmospherePsi) * (kColdCelsius + kKelvinAtZeroCelsius) /
               (celsius + kKelvinAtZeroCelsius) -
           kAtmospherePsi;
}

// Cold pressure from a report's raw values; nothing when either is no
// reading (or a value only a damaged frame can carry).
constexpr std::optional<double> coldPressureOfRaw(std::int32_t pressure, std::int32_t temperature) {
    if (pressure < 0 || pressure >= kNoPressureRaw || temperature < 0 ||
        temperature >= kNoTemperatureRaw)
        return std::nullopt;
    return coldPressurePsi(pressure / 2.0, temperature - 40.0);
}

} // namespace vorn::insight
