// The history as the user meets it: the window on a prepared file, and the
// command-line export.
#include "charts/HistoryWindow.h"

#include "history/HistoryStore.h"
#include "tests/support/TestSupport.h"

#include <QCheckBox>
#include <QDir>
#include <QLegendMarker>
#include <QLineSeries>
#include <QProcess>
#include <QScatterSeries>
#include <QTest>
#include <gtest/gtest.h>
#include <set>

namespace vorn {
namespace {

using history::EventKind;
using history::TimeMs;

constexpr TimeMs kNow = 1'796'600'000'000; // December 2026
constexpr TimeMs kHour = 3'600'000;
constexpr TimeMs kMinute = 60'000;
// The program ended and started again about 20 minutes ago.
constexpr TimeMs kEnded = kNow - 20 * kMinute + 5'000;
constexpr TimeMs kStarted = kNow - 20 * kMinute + 25'000;

// Wheel 0 was not heard from 40 to 30 minutes ago, and no wheel while the
// program was not running.
bool heard(int wheel, TimeMs t) {
    return !(wheel == 0 && t > kNow - 40 * kMinute && t < kNow - 30 * kMinute) &&
           !(t > kEnded && t < kStarted);
}

struct PreparedHistory {
    QString path;
    std::vector<history::Reading> rows;
};

// Six wheels over the last two hours, one row every 10 s while heard; wheel 1
// leaks; one alarm half an hour ago.
PreparedHistory prepareHistory(const test::WorkDir& dir) {
    PreparedHistory prepared{dir.file(QStringLiteral("history.sqlite")), {}};
    for (TimeMs t = kNow - 2 * kHour; t <= kNow; t += 10'000) {
        const auto leak = static_cast<std::int32_t>((t - (kNow - 2 * kHour)) / 200'000);
        for (int wheel = 0; wheel < 6; ++wheel) {
            if (heard(wheel, t))
                prepared.rows.push_back({t, wheel, wheel == 1 ? 66 - leak : 60 + wheel, 65 + wheel,
                                         0, true,
                                         wheel == 1 ? ReportLink::Usb : ReportLink::Serial});
        }
    }
    const std::vector<history::Event> events{{kNow - kHour / 2, EventKind::AlarmRaised, 1, 3},
                                             {kNow - kHour / 4, EventKind::WarningBegun, 1, 0},
                                             {kEnded, EventKind::ProgramEnded, -1, 0},
                                             {kStarted, EventKind::ProgramStarted, -1, 0}};
    history::HistoryStore store;
    store.open(prepared.path, history::OpenMode::ReadWrite);
    store.write(prepared.rows, events, history::bucketsOf(prepared.rows));
    return prepared;
}

QAbstractSeries* seriesNamed(QChart* chart, const QString& name) {
    for (QAbstractSeries* s : chart->series())
        if (s->name() == name)
            return s;
    return nullptr;
}

std::vector<QLineSeries*> piecesOf(QChart* chart, int wheel) {
    std::vector<QLineSeries*> pieces;
    for (QAbstractSeries* s : chart->series())
        if (s->name() == QStringLiteral("Wheel %1").arg(wheel))
            pieces.push_back(qobject_cast<QLineSeries*>(s));
    return pieces;
}

TEST(HistoryWindow, ShowsEachWheelInItsColourBrokenWhereNotHeardWithTheThresholdsAndTheAlarm) {
    const test::WorkDir dir;
    const PreparedHistory prepared = prepareHistory(dir);
    MonitorSettings settings{26, 45, 70, 1, 0}; // bar, degrees Celsius
    HistoryWindow window({prepared.path,
                          [] { return QString(); },
                          [&] { return settings; },
                          [] { return kNow; },
                          {}});
    window.resize(900, 640);
    window.show();
    const auto showLastHour = [&] {
        const int before = window.loadsShown();
        window.setRange(HistoryWindow::Range::Hour);
        return QTest::qWaitFor([&] {
            return window.loadsShown() != before &&
                   window.shownRange() == std::pair(kNow - kHour, kNow);
        });
    };
    ASSERT_TRUE(showLastHour());
    ASSERT_GE(window.shownColumns(), 360) << "a column a row: nothing is reduced";

    ASSERT_TRUE(QTest::qWaitFor([&] {
        return std::ranges::any_of(window.pressureChart()->legend()->markers(),
                                   [](QLegendMarker* m) { return m->isVisible(); });
    })) << "the legend is laid out";
    // A piece for each run of rows 10 s apart, its last value held a minute,
    // but not past the program's end or now: its first and last second
    // before now and its points. The first reading of each wheel, in bar.
    struct Piece {
        TimeMs first, last;
        qsizetype points;
    };
    const std::vector<Piece> wheel0{{-3600, -2340, 122}, {-1800, -1195, 62}, {-1170, 0, 118}};
    const std::vector<Piece> others{{-3600, -1195, 242}, {-1170, 0, 118}};
    const std::array<double, 6> firstBar{2.07, 1.65, 2.13, 2.17, 2.2, 2.24};
    std::set<QRgb> colours;
    for (int wheel = 0; wheel < 6; ++wheel) {
        const std::vector<QLineSeries*> pieces = piecesOf(window.pressureChart(), wheel);
        const std::vector<Piece>& want = wheel == 0 ? wheel0 : others;
        ASSERT_EQ(pieces.size(), want.size()) << wheel;
        EXPECT_DOUBLE_EQ(pieces[0]->at(0).y(), firstBar[wheel]) << wheel;
        int named = 0;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "wheel " << wheel << ", piece " << i);
            const QList<QPointF> points = pieces[i]->points();
            EXPECT_EQ(points.size(), want[i].points);
            EXPECT_EQ(points.front().x(), kNow + want[i].first * 1000);
            EXPECT_EQ(points.back().x(), kNow + want[i].last * 1000);
            EXPECT_TRUE(i + 1 == pieces.size() || points.back().y() == points.rbegin()[1].y());
            EXPECT_EQ(pieces[i]->pen().color(), pieces[0]->pen().color());
            for (QLegendMarker* marker : window.pressureChart()->legend()->markers(pieces[i]))
                named += marker->isVisible() ? 1 : 0;
        }
        EXPECT_EQ(named, 1) << "one legend entry for wheel " << wheel;
        const QColor colour = pieces[0]->pen().color();
        EXPECT_EQ(piecesOf(window.temperatureChart(), wheel).at(0)->pen().color(), colour);
        colours.insert(colour.rgb());
    }
    EXPECT_EQ(colours.size(), 6u) << "six wheels, six colours";
    const struct {
        QChart* chart;
        const char* name;
        double value;
    } thresholds[] = {{window.pressureChart(), "Low pressure", 1.79},
                      {window.pressureChart(), "High pressure", 3.10},
                      {window.temperatureChart(), "High temperature", 70}};
    for (const auto& t : thresholds) {
        auto* line = qobject_cast<QLineSeries*>(seriesNamed(t.chart, t.name));
        ASSERT_NE(line, nullptr) << t.name;
        EXPECT_EQ(line->pen().style(), Qt::DashLine);
        EXPECT_DOUBLE_EQ(line->at(0).y(), t.value);
    }
    for (const auto& [name, at] :
         {std::pair{"Alarm", kNow - kHour / 2}, {"Tyre warning", kNow - kHour / 4}}) {
        auto* marks = qobject_cast<QScatterSeries*>(seriesNamed(window.pressureChart(), name));
        ASSERT_TRUE(marks && marks->count() == 1) << name;
        EXPECT_EQ(marks->at(0).x(), at) << name;
    }
    // Cold pressure, dotted beside each piece: at 25 °C the tyre is warmer
    // than 20 °C, so its cold pressure is lower (2.07 bar reads about 2.02).
    window.coldPressureBox()->setChecked(true);
    const std::vector<QLineSeries*> withCold = piecesOf(window.pressureChart(), 0);
    ASSERT_EQ(withCold.size(), 2 * wheel0.size());
    EXPECT_EQ(withCold.back()->pen().style(), Qt::DotLine);
    EXPECT_NEAR(withCold[wheel0.size()]->at(0).y(), 2.018, 0.001);
    window.coldPressureBox()->setChecked(false);

    // Saved on the settings panel meanwhile: kPa and degrees Fahrenheit.
    settings.PressureUnitIndex = 2;
    settings.TemperatureUnitIndex = 1;
    ASSERT_TRUE(showLastHour());
    const struct {
        QChart* chart;
        QString axis;
        QString threshold;
        double limit, wheel2;
    } units[] = {{window.pressureChart(), "kPa", "Low pressure", 179, 213},       // 26, 31 psi
                 {window.temperatureChart(), "°F", "High temperature", 158, 81}}; // 70, 27 °C
    for (const auto& u : units) {
        EXPECT_EQ(u.chart->axes(Qt::Vertical).at(0)->titleText(), u.axis);
        EXPECT_DOUBLE_EQ(qobject_cast<QLineSeries*>(seriesNamed(u.chart, u.threshold))->at(0).y(),
                         u.limit);
        EXPECT_DOUBLE_EQ(piecesOf(u.chart, 2).at(0)->at(0).y(), u.wheel2) << u.axis.toStdString();
    }
}

TEST(HistoryWindow, SaysWhyThereIsNoHistory) {
    HistoryWindow window({{},
                          [] { return QStringLiteral("history is not kept: locked"); },
                          [] { return MonitorSettings{}; },
                          {},
                          {}});
    EXPECT_TRUE(window.statusText().contains("locked"));
}

TEST(HistoryExport, WritesTheChosenRangeOrFailsWithAClearMessage) {
    const test::WorkDir dir;
    const PreparedHistory prepared = prepareHistory(dir);
    const QString& history = prepared.path;
    const QString out = dir.file("out.csv");
    const auto linesFor = [&](TimeMs from, TimeMs to) {
        return 1 + static_cast<int>(std::ranges::count_if(prepared.rows, [&](const auto& r) {
                   return r.time >= from && r.time <= to;
               }));
    };
    const QString since =
        QDateTime::fromMSecsSinceEpoch(kNow - 60'000, Qt::UTC).toString(Qt::ISODate);
    const QDate day = QDateTime::fromMSecsSinceEpoch(kNow).date();
    // A copy in a folder the exporting user may only read.
    const QString readOnly = dir.file("ro/history.sqlite");
    ASSERT_TRUE(QDir().mkpath(dir.file("ro")) && QFile::copy(history, readOnly));
    QFile::setPermissions(readOnly, QFile::Permissions(0x4444));
    QFile::setPermissions(dir.file("ro"), QFile::Permissions(0x5555));
    QFile::setPermissions(dir.path(), QFile::Permissions(0x7755));
    const QStringList to{"--history", history, "--export-csv", out};
    const struct {
        QStringList arguments;
        int exitCode;
        QString error;
        int lines; // of the CSV, in out.csv or on standard output for "-"
        bool asNobody = false;
    } cases[] = {
        {to + QStringList{"--since", since}, 0, "", linesFor(kNow - 60'000, kNow)},
        {to + QStringList{"--since", day.toString(Qt::ISODate), "--until",
                          day.toString(Qt::ISODate)},
         0, "",
         linesFor(day.startOfDay().toMSecsSinceEpoch(),
                  day.addDays(1).startOfDay().toMSecsSinceEpoch() - 1)},
        {{"--history", history, "--export-csv", "-"}, 0, "to standard output", linesFor(0, kNow)},
        {{"--history", readOnly, "--export-csv", "-"}, 0, "", linesFor(0, kNow), true},
        {to + QStringList{"--since", "yesterday"}, 1, "YYYY-MM-DD", 0},
        {to + QStringList{"--since", "2026-12-02", "--until", "2026-12-01"}, 1, "after --until", 0},
        {{"--history", dir.file("none.sqlite"), "--export-csv", out}, 1, "no history file", 0},
        {{"--history", out, "--export-csv", out}, 1, "cannot read", 0},
        {{"--history", history, "--export-csv", dir.file("no/out.csv")}, 1, "cannot write", 0},
        {{"--history-days", "0"}, 2, "--history-days", 0},
    };
    for (const auto& c : cases) {
        QFile::remove(out);
        if (c.error == "cannot read")
            dir.write("out.csv", "not a database, but text");
        const test::Ran run = test::runToEnd(VORN_BINARY, c.arguments, dir.path(),
                                             c.asNobody ? test::runAsNobody : nullptr);
        const std::string what = c.arguments.join(' ').toStdString();
        EXPECT_EQ(run.exitCode, c.exitCode) << what;
        EXPECT_TRUE(run.err.contains(c.error.toUtf8())) << what;
        const QByteArray csv = c.arguments.contains("-") ? run.out : dir.read("out.csv");
        EXPECT_EQ(csv.count("\r\n"), c.lines) << what;
        EXPECT_FALSE(QFile::exists(dir.file("-"))) << what;
    }
    QFile::setPermissions(dir.file("ro"), QFile::Permissions(0x7700)); // removable again
}

TEST(HistoryFaults, ABrokenHistoryFileIsSaidOnceAndTheMonitorRunsOn) {
    const test::WorkDir dir;
    dir.writeSettings(test::defaultSettings());
    const QByteArray garbage(4096, 'x');
    dir.write("broken.sqlite", garbage);
    QProcess vorn;
    vorn.setWorkingDirectory(dir.path());
    vorn.start(QStringLiteral(VORN_BINARY), {"--history", dir.file("broken.sqlite")});
    ASSERT_TRUE(vorn.waitForStarted());
    QByteArray errors;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            errors += vorn.readAllStandardError();
            return errors.contains("running without history") || vorn.state() != QProcess::Running;
        },
        10000));
    EXPECT_EQ(vorn.state(), QProcess::Running) << "the monitor runs on";
    vorn.terminate();
    vorn.waitForFinished(5000);
    errors += vorn.readAllStandardError();
    EXPECT_EQ(errors.count("vorn: history:"), 1) << errors.toStdString();
    EXPECT_EQ(dir.read("broken.sqlite"), garbage) << "the file is left as it was";
}

} // namespace
} // namespace vorn
