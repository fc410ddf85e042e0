#include "protocol/Readout.h"

#include "protocol/PressureUnits.h"
#include "protocol/TyreStateTable.h"

namespace vorn {

namespace {
constexpr std::int32_t NoPressureFrom = 400;
constexpr std::int32_t NoTemperatureFrom = 199;
constexpr std::int32_t PsiFullFrom = 200;
constexpr std::int64_t Thousand = 1000;
using glyph::Blank;
using glyph::Minus;

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

std::string RowText(const RowGlyphs& row) {
    std::string text;
    for (int cell = 0; cell < static_cast<int>(row.glyphs.size()); ++cell) {
        const int g = row.glyphs[static_cast<std::size_t>(cell)];
        text += g >= 0 && g <= 9 ? static_cast<char>('0' + g) : g == Minus ? '-' : ' ';
        if (row.pointCell == cell)
            text += '.';
    }
    return text;
}

} // namespace vorn
