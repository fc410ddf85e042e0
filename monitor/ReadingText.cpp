#include "monitor/ReadingText.h"

#include "protocol/Readout.h"
#include "protocol/TyreStateTable.h"

#include <array>

namespace vorn {

namespace {

// The digits as the screen shows them, without the zeros that only fill its
// cells: "05.0" reads "5.0".
QString rowText(const RowGlyphs& row) {
    QString text = QString::fromStdString(RowText(row)).remove(u' ');
    while (text.size() > 1 && text[0] == u'0' && text[1].isDigit())
        text.remove(0, 1);
    return text;
}

} // namespace

QString pressureText(std::int32_t raw, std::int32_t unitIndex) {
    static const std::array<QString, 4> kUnits{QStringLiteral("psi"), QStringLiteral("bar"),
                                               QStringLiteral("kPa"), QStringLiteral("kg/cm²")};
    const std::optional<RowGlyphs> row = PressureGlyphs(raw, unitIndex);
    if (!row || unitIndex < 0 || unitIndex >= static_cast<std::int32_t>(kUnits.size()))
        return {};
    return rowText(*row) + u' ' + kUnits[static_cast<std::size_t>(unitIndex)];
}

// Whole degrees, as the digits show them in the chosen unit.
QString temperatureText(std::int32_t raw, TemperatureUnit unit) {
    if (!TemperatureGlyphs(raw)) // dashes: no reading
        return {};
    const std::string_view symbol = TemperatureUnitSymbol(unit);
    return QString::number(TemperatureInUnit(raw - ZeroCelsius, unit)) + u' ' +
           QString::fromUtf8(symbol.data(), static_cast<qsizetype>(symbol.size()));
}

} // namespace vorn
