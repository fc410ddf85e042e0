#pragma once

#include <cstdint>
#include <string_view>

namespace vorn {

// The temperature units the user can choose, numbered as in setdata.txt.
// Readings and thresholds are kept in degrees Celsius everywhere; only what
// a person reads is converted.
enum class TemperatureUnit : std::int32_t { Celsius = 0, Fahrenheit = 1 };

// A unit index from the settings; anything unknown (or no choice) reads as °C.
constexpr TemperatureUnit TemperatureUnitOf(std::int32_t index) {
    return index == 1 ? TemperatureUnit::Fahrenheit : TemperatureUnit::Celsius;
}

// Whole degrees Celsius in the chosen unit, rounded to the nearest whole
// degree (half away from zero), so -40 stays -40 and 70 °C reads 158 °F.
constexpr std::int32_t TemperatureInUnit(std::int32_t celsius, TemperatureUnit unit) {
    if (unit == TemperatureUnit::Celsius)
        return celsius;
    const std::int64_t tenths = std::int64_t{celsius} * 18 + 320; // °F × 10
    return static_cast<std::int32_t>(tenths >= 0 ? (tenths + 5) / 10 : (tenths - 5) / 10);
}

// The unit's symbol, as other programs write it.
constexpr std::string_view TemperatureUnitSymbol(TemperatureUnit unit) {
    return unit == TemperatureUnit::Fahrenheit ? "°F" : "°C";
}

} // namespace vorn
