#include "display/WheelEvaluation.h"

#include "display/Colours.h"
#include "display/ScreenLayout.h"
#include "protocol/PressureUnits.h"

namespace vorn {

namespace {
constexpr std::int32_t NoPressureFrom = 400;
constexpr std::int32_t NoTemperatureFrom = 199;
constexpr std::int32_t PsiFullFrom = 200;
constexpr std::int64_t Thousand = 1000;
constexpr int Blank = static_cast<int>(Glyph::Blank);
constexpr int Minus = static_cast<int>(Glyph::Minus);
constexpr RowGlyphs Dashes{{Minus, Minus, Minus}, -1};

constexpr bool isDigit(std::int64_t d) {
    return d >= 0 && d <= 9;
}

// A row led by glyph `lead`; shown only when the other two cells are digits 0 to 9.
std::optional<RowGlyphs> ledBy(int lead, std::int64_t tens, std::int64_t units, int pointCell) {
    if (!isDigit(tens) || !isDigit(units))
        return std::nullopt;
    return RowGlyphs{{lead, static_cast<int>(tens), static_cast<int>(units)}, pointCell};
}

std::optional<RowGlyphs> threeDigits(std::int64_t a, std::int64_t b, std::int64_t c,
                                     int pointCell) {
    if (!isDigit(a))
        return std::nullopt;
    return ledBy(static_cast<int>(a), b, c, pointCell);
}

// Three significant digits of a value in hundredths: "d.dd" below 10, "dd.d" above.
std::optional<RowGlyphs> hundredths(std::int64_t v) {
    if (v < Thousand)
        return threeDigits(v / 100, v % 100 / 10, v % 10, 0);
    return threeDigits(v / 1000, v / 100 % 10, v % 100 / 10, 1);
}
} // namespace

std::optional<RowGlyphs> PressureGlyphs(std::int32_t p, std::int32_t unitIndex) {
    if (p < 0 || p >= NoPressureFrom)
        return std::nullopt;
    const std::int64_t k = KpaOfRaw(p); // bar is k / 100
    const std::int64_t h = p / 2;       // whole psi
    switch (static_cast<PressureUnit>(unitIndex)) {
    case PressureUnit::Psi:
        if (p < PsiFullFrom) // the half step shows below 100 psi
            return threeDigits(h / 10, h % 10, p % 2 == 1 ? 5 : 0, 1);
        return threeDigits(h / 100, h % 100 / 10, h % 10, -1);
    case PressureUnit::Bar:
        return hundredths(k);
    case PressureUnit::Kpa:
        if (k >= Thousand)
            return threeDigits(9, 9, 9, -1);
        return threeDigits(k / 100, k % 100 / 10, k % 10, -1);
    case PressureUnit::KgCm:
        return hundredths(KgCmHundredthsOfRaw(p));
    }
    return threeDigits(0, 0, 0, -1);
}

std::optional<RowGlyphs> TemperatureGlyphs(std::int32_t t, TemperatureUnit unit) {
    // Only a damaged frame brings a raw value this low; it has no reading to show.
    constexpr std::int32_t LowestRaw = -1000;
    if (t >= NoTemperatureFrom || t < LowestRaw)
        return std::nullopt;
    const std::int64_t degrees = TemperatureInUnit(t - ZeroCelsius, unit);
    if (degrees < 0) // below -99 (a damaged frame) this is dashes
        return ledBy(Minus, -degrees / 10, -degrees % 10, -1);
    if (degrees >= 100)
        return threeDigits(degrees / 100, degrees / 10 % 10, degrees % 10, -1);
    return ledBy(Blank, degrees / 10, degrees % 10, -1);
}

void WheelEvaluator::drawRow(int firstCell, const RowGlyphs& row, QRgb colour) {
    for (int column = 0; column < layout::CellsPerRow; ++column) {
        digits_.setDecimalPointRequest(row.pointCell == column ? 1 : 0);
        digits_.DrawDigitCell(GlyphCode(row.glyphs[static_cast<std::size_t>(column)]),
                              firstCell + column, colour);
    }
    digits_.setDecimalPointRequest(0);
}

// A pressure exactly twice a threshold is within limits.
void WheelEvaluator::EvaluatePressure(int wheel) {
    if (wheel < 0 || wheel >= kShownWheels)
        return;
    const auto w = static_cast<std::size_t>(wheel);
    const std::int32_t p = state_.TyrePressure[w];
    std::int32_t& word = state_.TyreStatus[w];
    word &= ~(status::LowPressure | status::HighPressure);
    QRgb colour = colour::Lime;
    if (p > 2 * std::int64_t{settings_.HighPressureSet}) {
        word |= status::HighPressure;
        colour = colour::Red;
    } else if (p < 2 * std::int64_t{settings_.LowPressureSet}) {
        word |= status::LowPressure;
        colour = colour::Red;
    }
    std::optional<RowGlyphs> row = PressureGlyphs(p, settings_.PressureUnitIndex);
    if (!row) { // no reading, or a negative one only a damaged frame can bring: absent
        word = 0;
        colour = colour::Navy;
        row = Dashes;
    }
    drawRow(layout::CellNumber(wheel, 0, 0), *row, colour);
}

// The threshold test takes the temperature capped at 199, in degrees Celsius
// whatever unit the row is shown in; from 199 on the row shows dashes, which
// never carry the hot bit.
void WheelEvaluator::EvaluateTemperature(int wheel) {
    if (wheel < 0 || wheel >= kShownWheels)
        return;
    const auto w = static_cast<std::size_t>(wheel);
    const std::int32_t t = std::min(state_.TyreTemperature[w], NoTemperatureFrom);
    std::int32_t& word = state_.TyreStatus[w];
    const bool hot = t > std::int64_t{settings_.HighTempSet} + ZeroCelsius;
    word = hot ? (word | status::HighTemperature) : (word & ~status::HighTemperature);
    QRgb colour = hot ? colour::Red : colour::Lime;
    std::optional<RowGlyphs> row =
        TemperatureGlyphs(t, TemperatureUnitOf(settings_.TemperatureUnitIndex));
    if (!row) {
        word &= ~status::HighTemperature;
        colour = colour::Navy;
        row = Dashes;
    }
    drawRow(layout::CellNumber(wheel, 1, 0), *row, colour);
}

} // namespace vorn
