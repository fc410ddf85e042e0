#pragma once

#include "display/MonitorSettings.h"
#include "display/SevenSegment.h"
#include "protocol/TemperatureUnits.h"
#include "protocol/TyreStateTable.h"

#include <array>
#include <cstdint>
#include <optional>

namespace vorn {

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

// Tests each wheel against the thresholds, keeps its status bits and draws
// its pressure and temperature rows: lime within limits, red beyond, navy
// dashes without a reading.
class WheelEvaluator {
public:
    WheelEvaluator(SevenSegmentRenderer& digits, TyreStateTable& state,
                   const MonitorSettings& settings)
        : digits_(digits), state_(state), settings_(settings) {}

    void EvaluatePressure(int wheel);
    void EvaluateTemperature(int wheel);

private:
    void drawRow(int firstCell, const RowGlyphs& row, QRgb colour);

    SevenSegmentRenderer& digits_;
    TyreStateTable& state_;
    const MonitorSettings& settings_;
};

} // namespace vorn
