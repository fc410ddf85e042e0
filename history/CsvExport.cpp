#include "history/CsvExport.h"

#include "history/HistoryStore.h"
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
    return "time_utc,wheel,pressure_psi," +
           csvField(QStringLiteral("pressure_chosen_%1")
                        .arg(QLatin1String(pressureUnitName(unitIndex)))) +
           ",temperature_c,battery,sensor_flag,link,cold_pressure_psi\r\n";
}

QByteArray csvLine(const Reading& r, int unitIndex) {
    const bool hasPressure = r.pressure >= 0 && r.pressure < 400;
    const bool hasTemperature = r.temperature >= 0 && r.temperature < 199;
    const UnitPressure psi = pressureInUnit(r.pressure, 0);
    const UnitPressure chosen = pressureInUnit(r.pressure, unitIndex);
    QByteArray line =
        QDateTime::fromMSecsSinceEpoch(r.time, Qt::UTC).toString(Qt::ISODateWithMs).toLatin1();
    line += ',' + QByteArray::number(r.wheel) + ',';
    if (hasPressure)
        line += decimal(psi.value, psi.decimals) + ',' + decimal(chosen.value, chosen.decimals);
    else
        line += ',';
    line += ',';
    if (hasTemperature)
        line += QByteArray::number(r.temperature - 40);
    line += ',' + QByteArray::number(r.battery) + ',' + (r.sensorFlag ? "1" : "0") + ',' +
            (r.link == ReportLink::Usb ? "usb" : "serial") + ',';
    // The tyre analysis' cold pressure (at 20 °C), as the tyre report gives it.
    if (const auto cold = insight::coldPressureOfRaw(r.pressure, r.temperature))
        line += QByteArray::number(*cold, 'f', 2);
    return line + "\r\n";
}

namespace {

// The header and every reading's line; false when the history cannot be read.
bool writeLines(HistoryStore& store, QIODevice& out, TimeMs from, TimeMs to, int unitIndex,
                qint64& rows) {
    out.write(csvHeader(unitIndex));
    return store.forEachReading(from, to, [&](const Reading& r) {
        out.write(csvLine(r, unitIndex));
        ++rows;
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
    ExportResult result{true, {}, 0};
    if (outPath == QLatin1String("-")) {
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly))
            return {false, QStringLiteral("cannot write to standard output")};
        if (!writeLines(store, out, from, to, unitIndex, result.rows))
            return unreadable();
        if (!out.flush() || out.error() != QFileDevice::NoError)
            return {false,
                    QStringLiteral("cannot write to standard output: %1").arg(out.errorString())};
        return result;
    }
    QSaveFile out(outPath);
    if (!out.open(QIODevice::WriteOnly))
        return {false, QStringLiteral("cannot write %1: %2").arg(outPath, out.errorString())};
    if (!writeLines(store, out, from, to, unitIndex, result.rows)) {
        out.cancelWriting();
        return unreadable();
    }
    if (!out.commit())
        return {false, QStringLiteral("cannot write %1: %2").arg(outPath, out.errorString())};
    return result;
}

} // namespace vorn::history
