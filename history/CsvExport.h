#pragma once

#include "history/HistoryTypes.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace vorn::history {

// One field as RFC 4180 wants it: quoted, with quotes doubled, when it holds
// a comma, a quote, CR or LF.
QByteArray csvField(const QString& text);
struct Summary;

// The header line and one reading's line (CR LF ended). Pressure comes in psi
// and in the unit chosen on the settings panel (0 psi, 1 bar, 2 kPa, 3 kg/cm2;
// column pressure_chosen_<unit>),
// time in ISO 8601 UTC; a value the unit did not have is an empty field.
// The columns after `link` serve the summaries that stand in for readings
// no longer kept: `kind` ("reading", or "minute_min_max" for a minute's
// lowest values in the reading columns, from its first reading on), then
// the time of its last reading and its highest values. The last column is
// a reading's cold pressure (at 20 °C) in psi, empty for a summary.
QByteArray csvHeader(int unitIndex);
QByteArray csvLine(const Reading& reading, int unitIndex);
QByteArray csvLine(const Summary& summary, TimeMs level, int unitIndex);

struct ExportResult {
    bool ok = false;
    QString error;
    qint64 rows = 0;      // readings
    qint64 summaries = 0; // minute summaries, where the readings are gone
    std::optional<TimeMs> summariesBefore{};
    // "120 readings", or "120 readings and 30 minute summaries (readings
    // before 2026-11-07 14:00 are no longer kept)".
    QString counts() const;
};

// Writes the readings of `historyPath` with from <= time <= to to `outPath`,
// and minute summaries where the readings are no longer kept, replacing it
// only once every line is written; "-" is standard output.
ExportResult exportCsv(const QString& historyPath, const QString& outPath, TimeMs from, TimeMs to,
                       int unitIndex);

} // namespace vorn::history
