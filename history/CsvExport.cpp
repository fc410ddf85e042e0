#include "history/CsvExport.h"

#include "history/HistoryStore.h"
#include "history/Reducer.h"
#include "insight/ColdPressure.h"
#include "protocol/PressureUnits.h"

#include <QDateTime>
#include <QFile>
#include <QSaveFile>

namespace vorn::history {

namespace {

QByteArray decimal(std::int64_t value, int decimals) {
    if (decimals == 0)
        return QByteArray::number(value);
    const std::int64_t scale = decimals == 1 ? 10 : 100;
    const QByteArray sign = value < 0 ? "-" : "";
    const std::int64_t magnitude = value < 0 ? -value : value;
    return sign + QByteArray::number(magnitude / scale) + '.' +
           QByteArray::number(magnitude % scale).rightJustified(decimals, '0');
}

} // namespace

QByteArray csvField(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    if (!utf8.contains(',') && !utf8.contains('"') && !utf8.contains('\r') && !utf8.contains('\n'))
        return utf8;
    QByteArray quoted = utf8;
    quoted.replace("\"", "\"\"");
    return '"' + quoted + '"';
}

QByteArray csvHeader(int unitIndex) {
    const QByteArray chosen = csvField(
        QStringLiteral("pressure_chosen_%1").arg(QLatin1String(pressureUnitName(unitIndex))));
    return "time_utc,wheel,pressure_psi," + chosen +
           ",temperature_c,battery,sensor_flag,link,kind,last_time_utc,pressure_psi_max," +
           csvField(QString::fromUtf8(chosen) + QStringLiteral("_max")) +
           ",temperature_c_max,cold_pressure_psi\r\n";
}

namespace {

QByteArray utc(TimeMs time) {
    return QDateTime::fromMSecsSinceEpoch(time, Qt::UTC).toString(Qt::ISODateWithMs).toLatin1();
}

// Pressure in psi and in the chosen unit, and the temperature: three fields,
// empty where the unit had no value.
QByteArray values(std::int32_t pressure, std::int32_t temperature, int unitIndex) {
    QByteArray fields;
    if (pressure >= 0 && pressure < 400) {
        const UnitPressure psi = pressureInUnit(pressure, 0);
        const UnitPressure chosen = pressureInUnit(pressure, unitIndex);
        fields += decimal(psi.value, psi.decimals) + ',' + decimal(chosen.value, chosen.decimals);
    } else {
        fields += ',';
    }
    fields += ',';
    if (temperature >= 0 && temperature < 199)
        fields += QByteArray::number(temperature - 40);
    return fields;
}

// The tyre analysis' cold pressure (at 20 °C) in psi, as the tyre report
// gives it; empty without both values.
QByteArray cold(std::int32_t pressure, std::int32_t temperature) {
    const auto psi = insight::coldPressureOfRaw(pressure, temperature);
    return psi ? QByteArray::number(*psi, 'f', 2) : QByteArray();
}

const char* summaryKind(TimeMs level) {
    switch (level) {
    case 600'000:
        return "ten_minute_min_max";
    case 3'600'000:
        return "hour_min_max";
    default:
        return "minute_min_max";
    }
}

} // namespace

QByteArray csvLine(const Reading& r, int unitIndex) {
    return utc(r.time) + ',' + QByteArray::number(r.wheel) + ',' +
           values(r.pressure, r.temperature, unitIndex) + ',' + QByteArray::number(r.battery) +
           ',' + (r.sensorFlag ? "1" : "0") + ',' + (r.link == ReportLink::Usb ? "usb" : "serial") +
           ",reading,,,,," + cold(r.pressure, r.temperature) + "\r\n";
}

QByteArray csvLine(const Summary& s, TimeMs level, int unitIndex) {
    constexpr std::int32_t kNone = 511;
    return utc(s.first) + ',' + QByteArray::number(s.wheel) + ',' +
           values(s.pressureMin.value_or(kNone), s.temperatureMin.value_or(kNone), unitIndex) +
           ",,,," + summaryKind(level) + ',' + utc(s.last) + ',' +
           values(s.pressureMax.value_or(kNone), s.temperatureMax.value_or(kNone), unitIndex) +
           ",\r\n"; // lowest pressure and lowest temperature are no pair: no cold pressure
}

QString ExportResult::counts() const {
    QString text = QStringLiteral("%1 readings").arg(rows);
    if (summaries > 0 && summariesBefore)
        text += QStringLiteral(" and %1 minute summaries (readings before %2 are no longer kept)")
                    .arg(summaries)
                    .arg(QDateTime::fromMSecsSinceEpoch(*summariesBefore)
                             .toString(QStringLiteral("yyyy-MM-dd HH:mm")));
    return text;
}

namespace {

// The header, the minute summaries where the readings are gone, then every
// reading's line; false when the history cannot be read.
bool writeLines(HistoryStore& store, QIODevice& out, TimeMs from, TimeMs to, int unitIndex,
                ExportResult& result) {
    out.write(csvHeader(unitIndex));
    constexpr TimeMs kMinute = kSummaryLevels.front();
    const TimeMs split = store.readingsFrom(kMinute, true).value_or(kOpenEnd);
    if (from < split) {
        const bool read =
            store.forEachSummary(kMinute, from, std::min(to, split - 1), [&](const Summary& s) {
                if (s.last < from || s.first > to)
                    return;
                out.write(csvLine(s, kMinute, unitIndex));
                ++result.summaries;
            });
        if (!read)
            return false;
        if (result.summaries > 0)
            result.summariesBefore = split;
    }
    return to < split || store.forEachReading(std::max(from, split), to, [&](const Reading& r) {
        out.write(csvLine(r, unitIndex));
        ++result.rows;
    });
}

} // namespace

ExportResult exportCsv(const QString& historyPath, const QString& outPath, TimeMs from, TimeMs to,
                       int unitIndex) {
    HistoryStore store;
    const OpenResult opened = store.open(historyPath, OpenMode::ReadOnly);
    if (!opened.usable())
        return {false, QStringLiteral("cannot read the history: %1").arg(opened.reason)};
    const auto unreadable = [&] {
        return ExportResult{false,
                            QStringLiteral("cannot read the history: %1").arg(store.lastError())};
    };
    ExportResult result;
    result.ok = true;
    if (outPath == QLatin1String("-")) {
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly))
            return {false, QStringLiteral("cannot write to standard output")};
        if (!writeLines(store, out, from, to, unitIndex, result))
            return unreadable();
        if (!out.flush() || out.error() != QFileDevice::NoError)
            return {false,
                    QStringLiteral("cannot write to standard output: %1").arg(out.errorString())};
        return result;
    }
    QSaveFile out(outPath);
    if (!out.open(QIODevice::WriteOnly))
        return {false, QStringLiteral("cannot write %1: %2").arg(outPath, out.errorString())};
    if (!writeLines(store, out, from, to, unitIndex, result)) {
        out.cancelWriting();
        return unreadable();
    }
    if (!out.commit())
        return {false, QStringLiteral("cannot write %1: %2").arg(outPath, out.errorString())};
    return result;
}

} // namespace vorn::history
