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

} // namespace vorn
