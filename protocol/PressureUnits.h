#pragma once

#include <cstdint>

namespace vorn {

// A raw pressure (half-psi steps) in one of the four pressure units, in the
// unit's smallest step the screen shows: psi in tenths, bar and kg/cm2 in
// hundredths, kPa whole. Truncates as the screen's digits do.
struct UnitPressure {
    std::int64_t value = 0; // in steps of 10^-decimals of the unit
    int decimals = 0;
};

inline constexpr const char* kPressureUnitNames[] = {"psi", "bar", "kPa", "kg/cm2"};

constexpr const char* pressureUnitName(std::int32_t unitIndex) {
    return unitIndex >= 0 && unitIndex <= 3 ? kPressureUnitNames[unitIndex] : "psi";
}

// The same factors as the drawn digits: 3.45 kPa and 3.5 hundredths of a
// kg/cm2 per half psi. An unknown unit reads as psi.
constexpr UnitPressure pressureInUnit(std::int32_t raw, std::int32_t unitIndex) {
    const std::int64_t p = raw;
    switch (unitIndex) {
    case 1:
        return {p * 345 / 100, 2};
    case 2:
        return {p * 345 / 100, 0};
    case 3:
        return {p * 7 / 2, 2};
    default:
        return {p * 5, 1};
    }
}

} // namespace vorn
