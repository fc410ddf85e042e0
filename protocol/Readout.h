#pragma once

#include "protocol/TemperatureUnits.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace vorn {

// Glyphs of the seven-segment table beside the digits 0 to 9.
namespace glyph {
inline constexpr int Blank = 16;
inline constexpr int Minus = 17;
} // namespace glyph

// The glyphs of one row of three cells, and the cell whose point is lit (-1: none).
struct RowGlyphs {
    std::array<int, 3> glyphs{};
    int pointCell = -1;
};

// The pressure row for raw pressure `p` (half-psi steps) in unit 0 psi, 1 bar,
// 2 kPa or 3 kg/cm2 (any other reads 000); nothing when there is no reading
// to show: 400 or more, or a negative value from a damaged frame.
std::optional<RowGlyphs> PressureGlyphs(std::int32_t p, std::int32_t unitIndex);
// The temperature row for raw `t` (Celsius plus 40, below 199) in `unit`:
// "-dd" below zero, " dd" to 99, "ddd" from 100; nothing when it cannot be
// shown in three cells.
std::optional<RowGlyphs> TemperatureGlyphs(std::int32_t t,
                                           TemperatureUnit unit = TemperatureUnit::Celsius);

// The row as a person reads it off the screen: digits, ' ' for a blank,
// '-' for a minus and '.' after a lit point ("09.5", " 25", "-05").
std::string RowText(const RowGlyphs& row);

} // namespace vorn
