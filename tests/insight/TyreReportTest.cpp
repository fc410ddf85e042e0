// `vorn --tyre-report` on a history written by the program's own writer.
#include "history/HistoryWriter.h"
#include "tests/insight/Synthetic.h"
#include "tests/support/TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace vorn {
namespace {

using test::kDayMs;
using test::kHourMs;
using test::kMinuteMs;
using test::TimeMs;

const TimeMs kEnd =
    QDateTime::fromString(QStringLiteral("2026-12-07T12:00:00Z"), Qt::ISODate).toMSecsSinceEpoch();
const TimeMs kStart = kEnd - 10 * kDayMs;

QString iso(TimeMs t) {
    return QDateTime::fromMSecsSinceEpoch(t, Qt::UTC).toString(Qt::ISODate);
}

// Ten days, a report a minute: wheel 0 keeps its air, wheel 1 loses 1.5
// psi a day over the last three, wheel 2 falls silent 40 minutes before the
// end, wheel 3 is punctured 6 minutes before it, wheel 4 reported on the
// first day only. Then the readings are kept the eight days the analysis
// needs, the older ones as summaries.
QString prepareHistory(const test::WorkDir& dir) {
    const QString path = dir.file(QStringLiteral("history.sqlite"));
    {
        history::HistoryWriter writer(
            {.path = path, .capacity = 100'000, .clock = [] { return kEnd; }});
        for (TimeMs t = kStart; t <= kEnd; t += kMinuteMs) {
            const double cold[5] = {33, test::leaking(34, 1.5, kEnd - 3 * kDayMs, t), 33,
                                    test::leaking(33, 3 * 24 * 60, kEnd - 6 * kMinuteMs, t), 32};
            for (int wheel = 0; wheel < 5; ++wheel) {
                if ((wheel == 2 && t > kEnd - 40 * kMinuteMs) ||
                    (wheel == 4 && t > kStart + kDayMs))
                    continue;
                const auto [p, temp] = test::rawReading(cold[wheel], test::tyreCelsius(t));
                writer.addReading({t, wheel, p, temp, 0, true, ReportLink::Serial});
            }
        }
        EXPECT_TRUE(writer.flush(std::chrono::seconds{30}));
        EXPECT_EQ(writer.status().dropped, 0u);
    }
    history::HistoryWriter({.path = path, .retention = {400, 8}, .clock = [] { return kEnd; }})
        .flush(std::chrono::seconds{30});
    history::HistoryStore store;
    store.open(path, history::OpenMode::ReadOnly);
    EXPECT_EQ(store.readingsFrom(kMinuteMs, true), kEnd - 8 * kDayMs);
    return path;
}

test::Ran report(const test::WorkDir& dir, const QStringList& arguments) {
    return test::runToEnd(VORN_BINARY, arguments, dir.path());
}

TEST(TyreReport, NamesEachWheelsWarningAsJsonAndAsATable) {
    const test::WorkDir dir;
    const QString history = prepareHistory(dir);
    const QStringList args{"--tyre-report", "--history", history};

    const test::Ran json = report(dir, args + QStringList{"--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    const QJsonObject root = QJsonDocument::fromJson(json.out).object();
    EXPECT_EQ(root["at"].toString(), iso(kEnd));
    const QJsonArray wheels = root["wheels"].toArray();
    ASSERT_EQ(wheels.size(), 5) << json.out.toStdString();
    const char* warnings[] = {nullptr, "slow_leak", "silent", "rapid_loss", "silent"};
    for (int w = 0; w < 5; ++w) {
        const QJsonObject wheel = wheels[w].toObject();
        SCOPED_TRACE(QJsonDocument(wheel).toJson().toStdString());
        EXPECT_EQ(wheel["wheel"].toInt(), w);
        EXPECT_EQ(wheel["warning"], warnings[w] ? QJsonValue(warnings[w]) : QJsonValue());
        EXPECT_EQ(wheel["low_threshold_at"].isString(), w == 1);
        // The puncture's sudden fall starts wheel 3's rates afresh; wheel 4
        // has no reading in the last week.
        EXPECT_EQ(wheel["leak_psi_per_day_7d"].isDouble(), w < 3);
    }
    EXPECT_NEAR(wheels[0]["cold_pressure_psi"].toDouble(), 33, 0.4);
    EXPECT_NEAR(wheels[0]["leak_psi_per_day_24h"].toDouble(), 0, 0.1);
    EXPECT_NEAR(wheels[1]["leak_psi_per_day_24h"].toDouble(), -1.5, 0.25 * 1.5);
    EXPECT_EQ(wheels[2]["last_report"].toString(), iso(kEnd - 40 * kMinuteMs));
    EXPECT_EQ(wheels[3]["last_report"].toString(), iso(kEnd));
    EXPECT_EQ(wheels[4]["last_report"].toString(), iso(kStart + kDayMs));
    EXPECT_NEAR(wheels[4]["cold_pressure_psi"].toDouble(), 32, 0.4);

    // An hour after the start nothing can be said of leaks yet.
    const test::Ran early =
        report(dir, args + QStringList{"--json", "--until", iso(kStart + kHourMs)});
    const QJsonObject then = QJsonDocument::fromJson(early.out).object();
    EXPECT_EQ(then["at"].toString(), iso(kStart + kHourMs));
    for (const QJsonValue wheel : then["wheels"].toArray()) {
        for (const char* key : {"leak_psi_per_day_24h", "leak_psi_per_day_7d", "warning"})
            EXPECT_TRUE(wheel[key].isNull()) << key;
    }

    // The table, with a setting that cannot be used: it is named, and the
    // default (20 minutes) stands in for it.
    const QString config =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/VORN";
    ASSERT_TRUE(QDir().mkpath(config));
    QFile conf(config + "/vorn.conf");
    ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
    conf.write("[insight]\nsilent_minutes=soon\n");
    conf.close();
    const test::Ran text = report(dir, args);
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_TRUE(text.err.contains("vorn: insight: silent_minutes: 'soon'"))
        << text.err.toStdString();
    for (const char* line :
         {"Wheel 1: losing 1.", "a day; reaches 26 psi in about",
          "Wheel 2: no report for 40 minutes", "Wheel 3: lost 1", "Wheel 4: no report for 9 days"})
        EXPECT_TRUE(text.out.contains(line)) << line << "\n" << text.out.toStdString();
}

TEST(TyreReport, FailsClearlyOnABadFileOrTime) {
    const test::WorkDir dir;
    dir.write("garbage.sqlite", QByteArray(4096, 'x'));
    const QString missing = dir.file("none.sqlite");
    const struct {
        QStringList arguments;
        int exitCode;
        const char* error;
    } cases[] = {
        {{"--tyre-report", "--history", missing}, 1, "no history file"},
        {{"--tyre-report", "--history", dir.file("garbage.sqlite")}, 1, "garbage.sqlite"},
        {{"--tyre-report", "--history", missing, "--until", "noon"}, 1, "'noon' is not a time"},
        {{"--tyre-report", "--no-history"}, 2, "--no-history"},
        {{"--json"}, 2, "--json goes with --tyre-report"},
        {{"--since", "2026-12-01", "--tyre-report"}, 2, "--since goes with --export-csv"},
    };
    for (const auto& c : cases) {
        const test::Ran o = report(dir, c.arguments);
        EXPECT_EQ(o.exitCode, c.exitCode) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(o.err.contains(c.error)) << o.err.toStdString();
        EXPECT_TRUE(o.out.isEmpty());
    }
}

} // namespace
} // namespace vorn
