#pragma once

// Tyres as physics has them, for the analysis to read: the air's pressure
// follows its temperature, the weather swings through the day, driving
// warms the tyres, and the unit reports in half-psi and whole-degree steps.
#include "insight/ColdPressure.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace vorn::test {

using insight::kDayMs;
using insight::kHourMs;
using insight::kMinuteMs;
using insight::TimeMs;

// 20 °C, 15 °C up and down over the day, coldest at 03:00; drives at 08:00
// and 17:00 warm the tyres by 30 °C over 20 minutes, then they cool over 2 hours.
inline double tyreCelsius(TimeMs t) {
    constexpr double kPi = 3.14159265358979;
    const TimeMs ofDay = (t % kDayMs + kDayMs) % kDayMs;
    const double hour = static_cast<double>(ofDay) / kHourMs;
    double warm = 0;
    for (const TimeMs start : {8 * kHourMs, 17 * kHourMs}) {
        const auto since = static_cast<double>(ofDay - start);
        constexpr auto kWarming = static_cast<double>(20 * kMinuteMs);
        constexpr auto kCooling = static_cast<double>(2 * kHourMs);
        if (since >= 0 && since < kWarming)
            warm = std::max(warm, 30 * since / kWarming);
        else if (since >= kWarming && since < kWarming + kCooling)
            warm = std::max(warm, 30 * (1 - (since - kWarming) / kCooling));
    }
    return 20 + 15 * std::sin(2 * kPi * (hour - 9) / 24) + warm;
}

// The unit's raw report (half-psi steps, degrees Celsius plus 40) of a tyre
// holding `cold` psi at 20 °C while it is `celsius` warm.
inline std::pair<std::int32_t, std::int32_t> rawReading(double cold, double celsius) {
    const double kelvin = celsius + insight::kKelvinAtZeroCelsius;
    const double gauge = (cold + insight::kAtmospherePsi) * kelvin /
                             (insight::kColdCelsius + insight::kKelvinAtZeroCelsius) -
                         insight::kAtmospherePsi;
    return {static_cast<std::int32_t>(std::lround(std::max(0.0, gauge) * 2)),
            static_cast<std::int32_t>(std::lround(celsius)) + 40};
}

// Cold pressure of a tyre losing `psiPerDay` from `from` on (never below 0).
inline double leaking(double cold, double psiPerDay, TimeMs from, TimeMs t) {
    if (t <= from)
        return cold;
    return std::max(0.0, cold - psiPerDay * static_cast<double>(t - from) / kDayMs);
}

} // namespace vorn::test
