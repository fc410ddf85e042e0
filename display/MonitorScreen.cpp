#include "display/MonitorScreen.h"

#include "display/Colours.h"
#include "display/ScreenLayout.h"

#include <algorithm>

namespace vorn {

namespace {
constexpr RowGlyphs Dashes{{glyph::Minus, glyph::Minus, glyph::Minus}, -1};
static_assert(glyph::Blank == static_cast<int>(Glyph::Blank) &&
              glyph::Minus == static_cast<int>(Glyph::Minus));
} // namespace

MonitorScreen::MonitorScreen(Canvas& canvas, const TyreStateTable& state,
                             const MonitorSettings& settings)
    : state_(state), settings_(settings), digits_(canvas), picture_(canvas), icons_(canvas, state),
      tyres_(canvas, state) {}

void MonitorScreen::RefreshDisplay(std::int32_t blinkPhase) {
    for (int wheel = 0; wheel < kShownWheels; ++wheel) {
        DrawPressure(wheel);
        DrawTemperature(wheel);
        icons_.DrawBatteryIcon(wheel);
        tyres_.DrawTyreIcon(wheel);
    }
    icons_.DrawAntennaIcon(blinkPhase);
}

void MonitorScreen::drawRow(int firstCell, const RowGlyphs& row, QRgb colour) {
    for (int column = 0; column < layout::CellsPerRow; ++column) {
        digits_.setDecimalPointRequest(row.pointCell == column ? 1 : 0);
        digits_.DrawDigitCell(GlyphCode(row.glyphs[static_cast<std::size_t>(column)]),
                              firstCell + column, colour);
    }
    digits_.setDecimalPointRequest(0);
}

// Lime within limits, red beyond one, navy dashes without a reading.
void MonitorScreen::DrawPressure(int wheel) {
    const auto w = static_cast<std::size_t>(wheel);
    const std::optional<RowGlyphs> row =
        PressureGlyphs(state_.TyrePressure[w], settings_.PressureUnitIndex);
    const bool beyond = (state_.TyreStatus[w] & (status::LowPressure | status::HighPressure)) != 0;
    drawRow(layout::CellNumber(wheel, 0, 0), row.value_or(Dashes),
            !row     ? colour::Navy
            : beyond ? colour::Red
                     : colour::Lime);
}

void MonitorScreen::DrawTemperature(int wheel) {
    const auto w = static_cast<std::size_t>(wheel);
    const std::optional<RowGlyphs> row = TemperatureGlyphs(
        state_.TyreTemperature[w], TemperatureUnitOf(settings_.TemperatureUnitIndex));
    const bool hot = (state_.TyreStatus[w] & status::HighTemperature) != 0;
    drawRow(layout::CellNumber(wheel, 1, 0), row.value_or(Dashes),
            !row  ? colour::Navy
            : hot ? colour::Red
                  : colour::Lime);
}

} // namespace vorn
