#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace vorn {

// The pressure units the user can choose, numbered as in setdata.txt.
enum class PressureUnit : std::int32_t { Psi = 0, Bar = 1, Kpa = 2, KgCm = 3 };

// Raw pressure (half-psi steps) in kPa, fraction dropped; bar is this / 100.
constexpr std::int64_t KpaOfRaw(std::int32_t raw) {
    return std::int64_t{raw} * 345 / 100;
}
// Raw pressure in hundredths of kg/cm2, fraction dropped.
constexpr std::int64_t KgCmHundredthsOfRaw(std::int32_t raw) {
    return std::int64_t{raw} * 7 / 2;
}

// The value the screen shows for a raw pressure, in the chosen unit, before
// it is cut to three digits: psi in half steps, bar and kg/cm2 to two
// decimals, kPa whole.
constexpr double PressureInUnit(std::int32_t raw, PressureUnit unit) {
    switch (unit) {
    case PressureUnit::Psi:
        return static_cast<double>(raw) / 2.0;
    case PressureUnit::Bar:
        return static_cast<double>(KpaOfRaw(raw)) / 100.0;
    case PressureUnit::Kpa:
        return static_cast<double>(KpaOfRaw(raw));
    case PressureUnit::KgCm:
        return static_cast<double>(KgCmHundredthsOfRaw(raw)) / 100.0;
    }
    return 0.0;
}

// The unit's symbol, as other programs write it.
constexpr std::string_view PressureUnitSymbol(PressureUnit unit) {
    constexpr std::array<std::string_view, 4> kSymbols{"psi", "bar", "kPa", "kg/cm²"};
    const auto i = static_cast<std::size_t>(unit);
    return i < kSymbols.size() ? kSymbols[i] : std::string_view{"psi"};
}

// A unit index from the settings; anything unknown reads as psi.
constexpr PressureUnit PressureUnitOf(std::int32_t index) {
    return index >= 0 && index <= 3 ? static_cast<PressureUnit>(index) : PressureUnit::Psi;
}

// A raw pressure in one of the four units, in the unit's smallest step the
// screen shows: psi in tenths, bar and kg/cm2 in hundredths, kPa whole.
// Truncates as the screen's digits do.
struct UnitPressure {
    std::int64_t value = 0; // in steps of 10^-decimals of the unit
    int decimals = 0;
};

// The unit's name in plain ASCII, for file headers; unknown reads as psi.
inline constexpr const char* kPressureUnitNames[] = {"psi", "bar", "kPa", "kg/cm2"};

constexpr const char* pressureUnitName(std::int32_t unitIndex) {
    return unitIndex >= 0 && unitIndex <= 3 ? kPressureUnitNames[unitIndex] : "psi";
}

constexpr UnitPressure pressureInUnit(std::int32_t raw, std::int32_t unitIndex) {
    switch (PressureUnitOf(unitIndex)) {
    case PressureUnit::Bar:
        return {KpaOfRaw(raw), 2};
    case PressureUnit::Kpa:
        return {KpaOfRaw(raw), 0};
    case PressureUnit::KgCm:
        return {KgCmHundredthsOfRaw(raw), 2};
    case PressureUnit::Psi:
        break;
    }
    return {std::int64_t{raw} * 5, 1};
}

} // namespace vorn
