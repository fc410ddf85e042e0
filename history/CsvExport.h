#pragma once

#include "history/HistoryTypes.h"

#include <QByteArray>
#include <QString>

namespace vorn::history {

// One field as RFC 4180 wants it: quoted, with quotes doubled, when it holds
// a comma, a quote, CR or LF.
QByteArray csvField(const QString& text);
// The header line and one reading's line (CR LF ended). Pressure comes in psi
// and in the unit chosen on the settings panel (0 psi, 1 bar, 2 kPa, 3 kg/cm2;
// column pressure_chosen_<unit>),
// time in ISO 8601 UTC; a value the unit did not have is an empty field.
// The last column is the cold pressure (at 20 °C) in psi.
QByteArray csvHeader(int unitIndex);
QByteArray csvLine(const Reading& reading, int unitIndex);

struct ExportResult {
    bool ok = false;
    QString error;
    qint64 rows = 0;
};

// Writes the readings of `historyPath` with from <= time <= to to `outPath`,
// replacing it only once every line is written; "-" is standard output.
ExportResult exportCsv(const QString& historyPath, const QString& outPath, TimeMs from, TimeMs to,
                       int unitIndex);

} // namespace vorn::history
