#include "app/TyreReport.h"

#include "history/Decimator.h"
#include "history/HistoryStore.h"
#include "insight/LiveInsight.h"
#include "insight/WarningText.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>

namespace vorn {

namespace {

using insight::TimeMs;
using insight::Warning;

constexpr TimeMs kFitHistory = 7 * insight::kDayMs;
// A week for the fits and a day beside it.
constexpr TimeMs kReplay = 8 * insight::kDayMs;

// To 1/`per` of its unit; the division keeps 31.07 from printing as 31.070000000000004.
QJsonValue rounded(const std::optional<double>& value, double per) {
    if (!value)
        return QJsonValue::Null;
    return std::round(*value * per) / per;
}

QJsonValue utc(const std::optional<TimeMs>& time) {
    if (!time)
        return QJsonValue::Null;
    return QDateTime::fromMSecsSinceEpoch(*time, Qt::UTC).toString(Qt::ISODate);
}

QString local(TimeMs time) {
    return QDateTime::fromMSecsSinceEpoch(time).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

std::optional<double> perDay(const std::optional<insight::LeakRate>& rate) {
    return rate ? std::optional(rate->psiPerDay) : std::nullopt;
}

QString cell(const std::optional<double>& value, const char* format) {
    return value ? QString::asprintf(format, *value) : QStringLiteral("-");
}

} // namespace

bool replayHistory(history::HistoryStore& store, insight::TyreInsight& analysis, TimeMs at,
                   const std::atomic<bool>* stop) {
    constexpr TimeMs kMinute = history::kSummaryLevels.front();
    constexpr TimeMs kHour = history::kSummaryLevels.back();
    const TimeMs from = insight::bucketOf(at - kReplay, kHour) * kHour;
    std::vector<history::Reading> seeds;
    if (from > 0) {
        // The hourly summaries name each wheel's last reading before `from`
        // without reading the months of rows behind it.
        std::map<int, TimeMs> before;
        if (!store.forEachSummary(kHour, 0, from - 1, [&](const history::Summary& s) {
                before[s.wheel] = std::max(before[s.wheel], s.last);
            }))
            return false;
        for (const auto& [wheel, time] : before) {
            const std::size_t found = seeds.size();
            const bool read = store.forEachReading(time, time, [&](const history::Reading& r) {
                if (r.wheel == wheel)
                    seeds.push_back(r);
            });
            // A reading older than the readings kept: its minute's lowest
            // values stand in for it.
            const bool summarised =
                seeds.size() > found ||
                store.forEachSummary(kMinute, time, time, [&](const history::Summary& s) {
                    if (s.wheel == wheel && s.last == time && s.pressureMin && s.temperatureMin)
                        seeds.push_back({time, wheel, *s.pressureMin, *s.temperatureMin, 0, true,
                                         ReportLink::Serial});
                });
            if (!read || !summarised)
                return false;
        }
        std::stable_sort(seeds.begin(), seeds.end(),
                         [](const auto& a, const auto& b) { return a.time < b.time; });
    }
    const auto add = [&](const history::Reading& r) {
        analysis.add(r.time, r.wheel, r.pressure, r.temperature);
    };
    std::for_each(seeds.begin(), seeds.end(), add);
    // Slow leak as it stood is decided within the last week; fitting every
    // half hour before that would only cost time.
    analysis.fitFrom(at - kFitHistory);
    return store.forEachReading(from > 0 ? from : std::numeric_limits<TimeMs>::min(), at, add,
                                stop);
}

TyreReportResult analyseHistory(const QString& path, std::optional<TimeMs> until,
                                const insight::InsightConfig& config, double lowThresholdPsi) {
    history::HistoryStore store;
    if (const history::OpenResult opened = store.open(path, history::OpenMode::ReadOnly);
        !opened.usable())
        return {std::nullopt, opened.reason};
    TyreReport report;
    report.lowThresholdPsi = lowThresholdPsi;
    report.at = until;
    if (!report.at) {
        if (const auto span = store.readingSpan())
            report.at = span->second;
    }
    // The history keeps a steady wheel's reading once a minute, so a gap of
    // a minute in the file is no silence.
    insight::InsightConfig used = config;
    constexpr int kKeptEveryMinutes = history::Decimator::kKeepEvery / insight::kMinuteMs;
    used.silentMinutes = std::max(used.silentMinutes, kKeptEveryMinutes + 1);
    // The analysis is large (a week of points for sixteen wheels): not on the stack.
    auto analysis = std::make_unique<insight::TyreInsight>(used, lowThresholdPsi);
    // With no time there are no readings, unless the file cannot be read.
    const bool read = report.at ? replayHistory(store, *analysis, *report.at)
                                : store.forEachReading(std::numeric_limits<TimeMs>::min(),
                                                       std::numeric_limits<TimeMs>::max(),
                                                       [](const history::Reading&) {});
    if (!read)
        return {std::nullopt, QStringLiteral("%1: %2").arg(path, store.lastError())};
    if (!report.at)
        return {report, {}};
    analysis->refit();
    analysis->poll(*report.at);
    for (int wheel = 0; wheel < insight::kWheels; ++wheel) {
        if (insight::WheelState state = analysis->wheel(wheel); state.reported)
            report.wheels.emplace_back(wheel, std::move(state));
    }
    return {report, {}};
}

QString tyreReportText(const TyreReport& report) {
    QString text;
    QTextStream out(&text);
    if (!report.at) {
        out << "No readings in the history.\n";
        return text;
    }
    out << "Tyres as of " << local(*report.at) << " (psi; cold: at 20 °C; leak: psi a day)\n";
    if (report.wheels.empty()) {
        out << "No readings up to then.\n";
        return text;
    }
    out << "Wheel  Last report          Pressure  Temp  Cold   Leak 24 h  Leak 7 d  Warning\n";
    QStringList warnings;
    for (const auto& [wheel, s] : report.wheels) {
        const auto first = s.firstWarning();
        out << QString::asprintf("%5d  ", wheel) << local(s.lastReport) << "  "
            << cell(s.pressurePsi, "%8.1f").rightJustified(8) << "  "
            << cell(s.temperatureC, "%4.0f").rightJustified(4) << "  "
            << cell(s.coldPressurePsi, "%5.1f").rightJustified(5) << "  "
            << cell(perDay(s.rate24h), "%+9.2f").rightJustified(9) << "  "
            << cell(perDay(s.rate7d), "%+8.2f").rightJustified(8) << "  "
            << (first ? QString::fromLatin1(warningName(*first))
                            .replace(QLatin1Char('_'), QLatin1Char(' '))
                      : QStringLiteral("-"))
            << '\n';
        for (const Warning w : {Warning::RapidLoss, Warning::SlowLeak, Warning::Silent}) {
            const bool standing = w == Warning::RapidLoss  ? s.rapidLoss
                                  : w == Warning::SlowLeak ? s.slowLeak
                                                           : s.silent;
            if (standing)
                warnings << QString::fromStdString(
                    insight::warningText(wheel, s, w, *report.at, report.lowThresholdPsi));
        }
    }
    out << (warnings.isEmpty() ? QStringLiteral("No warnings.") : warnings.join('\n')) << '\n';
    return text;
}

QByteArray tyreReportJson(const TyreReport& report) {
    QJsonArray wheels;
    for (const auto& [wheel, s] : report.wheels) {
        const auto first = s.firstWarning();
        wheels.append(QJsonObject{
            {"wheel", wheel},
            {"last_report", utc(s.lastReport)},
            {"pressure_psi", rounded(s.pressurePsi, 2)},
            {"temperature_c", rounded(s.temperatureC, 1)},
            {"cold_pressure_psi", rounded(s.coldPressurePsi, 100)},
            {"leak_psi_per_day_24h", rounded(perDay(s.rate24h), 100)},
            {"leak_psi_per_day_7d", rounded(perDay(s.rate7d), 100)},
            {"warning", first ? QJsonValue(QString::fromLatin1(warningName(*first)))
                              : QJsonValue(QJsonValue::Null)},
            {"low_threshold_at", utc(s.lowThresholdAt)},
        });
    }
    const QJsonObject root{{"at", utc(report.at)}, {"wheels", wheels}};
    return QJsonDocument(root).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace vorn
