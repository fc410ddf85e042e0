#include "app/HistoryViews.h"
#include "app/HistoryWiring.h"
#include "history/HistoryStore.h"
#include "sim/UnitModel.h"
#include "tests/window/WindowFixture.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHelpEvent>
#include <QProcess>
#include <QToolTip>
#include <gtest/gtest.h>

namespace vorn {
namespace {

using std::chrono::milliseconds;
using test::WindowFixture;

// Runs the monitor's three timers once, as 100 ms of the program's life.
void tick(MonitorCore& m) {
    m.Timer2Timer();
    m.Timer3Timer();
    m.Timer1Timer();
}

// The simulated unit on the window's own pseudo-terminal, on a clock the test
// drives; what it sent is kept with the time it was sent.
struct ModelOnTheLine {
    ModelOnTheLine(test::MonitorFixture& f, sim::Scenario scenario)
        : fixture(f), model(sim::UnitConfig{.scenario = scenario, .wheels = 6}) {}
    void run(milliseconds span) {
        for (milliseconds t{0}; t < span; t += milliseconds{100}) {
            model.advance(milliseconds{100});
            if (const std::string out = model.takeSerialBytes(); !out.empty()) {
                fixture.unit.write(QByteArray::fromStdString(out));
                sent.push_back({model.now().count(), QByteArray::fromStdString(out)});
            }
            tick(*fixture.core);
            model.receiveSerial(fixture.unit.read(0).toStdString());
        }
    }
    test::MonitorFixture& fixture;
    sim::UnitModel model;
    std::vector<std::pair<history::TimeMs, QByteArray>> sent;
};

// A wheel's reading as a CSV line has it after the time: wheel, pressure in
// psi twice (psi is the chosen unit), temperature in degrees Celsius,
// battery, sensor flag, link, and the kind with its four empty summary fields.
struct CsvReading {
    history::TimeMs time = 0;
    QByteArray fields;
};

// The sensor reports in what the unit sent, decoded by hand from their long
// form: wheel, battery, sensor flag, half psi ("5" or "0"), whole psi and
// temperature plus 40 as hex pairs. Each wheel's line keeps a reading only
// when it changed, as the history does within a minute.
std::map<int, std::vector<CsvReading>> sentReadings(const ModelOnTheLine& unit,
                                                    history::TimeMs start) {
    std::map<int, std::vector<CsvReading>> readings;
    for (const auto& [at, bytes] : unit.sent) {
        for (qsizetype i = bytes.indexOf('$'); i >= 0; i = bytes.indexOf('$', i + 1)) {
            const QByteArray body = bytes.mid(i + 1, 10);
            const int wheel = body.left(1).toInt(nullptr, 16);
            const QByteArray psi = QByteArray::number(body.mid(4, 2).toInt(nullptr, 16)) +
                                   (body[3] == '5' ? ".5" : ".0");
            const QByteArray fields = body.left(1) + ',' + psi + ',' + psi + ',' +
                                      QByteArray::number(body.mid(6, 2).toInt(nullptr, 16) - 40) +
                                      ',' + body.mid(1, 1) + ",1,serial,reading,,,,";
            auto& line = readings[wheel];
            if (line.empty() || line.back().fields != fields)
                line.push_back({start + at, fields});
        }
    }
    return readings;
}

// `vorn --export-csv -` on the file, its lines by wheel.
std::map<int, std::vector<CsvReading>> exportedReadings(const QString& dir, const QString& path) {
    QProcess exporter;
    exporter.setWorkingDirectory(dir);
    exporter.start(QStringLiteral(VORN_BINARY), {"--history", path, "--export-csv", "-"});
    EXPECT_TRUE(exporter.waitForFinished(10000) && exporter.exitCode() == 0);
    QList<QByteArray> lines = exporter.readAllStandardOutput().split('\n');
    std::map<int, std::vector<CsvReading>> readings;
    for (const QByteArray& line : lines.mid(1)) { // after the header
        const qsizetype comma = line.indexOf(',');
        if (comma < 0)
            continue;
        const QDateTime time =
            QDateTime::fromString(QString::fromLatin1(line.left(comma)), Qt::ISODateWithMs);
        readings[line.mid(comma + 1, 1).toInt()].push_back(
            {time.toMSecsSinceEpoch(), line.mid(comma + 1).trimmed()});
    }
    return readings;
}

TEST(SimulatedUnit, ASlowLeakIsKeptInTheHistoryAsAFallingLineAndAnAlarm) {
    WindowFixture f;
    TFmain& w = f.open();
    ModelOnTheLine unit(f, sim::Scenario::SlowLeak);
    const QString path = f.dir.file(QStringLiteral("history.sqlite"));
    constexpr history::TimeMs start = 1'796'600'000'000;
    auto* feature =
        new HistoryFeature(*f.core, {path, {}, [&] { return start + unit.model.now().count(); }});
    new HistoryViews(w, *feature);
    unit.run(milliseconds{25000});
    // Hovering wheel 1's digits tells when it last reported.
    QHelpEvent hover(QEvent::ToolTip, QPoint(400, 60), w.Image1->mapToGlobal(QPoint(400, 60)));
    QCoreApplication::sendEvent(w.Image1, &hover);
    EXPECT_TRUE(QToolTip::text().startsWith(QStringLiteral("Wheel 1: last report ")))
        << QToolTip::text().toStdString();
    delete feature; // writes what is queued

    // Each wheel's exported lines are the readings the unit sent, in order,
    // stored by the next poll of the line.
    const auto sent = sentReadings(unit, start);
    const auto exported = exportedReadings(f.dir.path(), path);
    ASSERT_EQ(exported.size(), 6u);
    for (const auto& [wheel, lines] : sent) {
        const std::vector<CsvReading>& got = exported.at(wheel);
        ASSERT_EQ(got.size(), lines.size()) << "wheel " << wheel;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(got[i].fields, lines[i].fields) << "wheel " << wheel << ", line " << i;
            EXPECT_GE(got[i].time, lines[i].time);
            EXPECT_LE(got[i].time, lines[i].time + 1000);
        }
    }

    history::HistoryStore store;
    ASSERT_TRUE(store.open(path, history::OpenMode::ReadOnly).usable());
    std::map<int, std::vector<std::int32_t>> pressures;
    store.forEachReading(start, start + 30'000, [&](const history::Reading& r) {
        pressures[r.wheel].push_back(r.pressure);
    });
    ASSERT_EQ(pressures.size(), 6u);
    const auto leaking = std::min_element(pressures.begin(), pressures.end(), [](auto& a, auto& b) {
        return a.second.back() < b.second.back();
    });
    const std::vector<std::int32_t>& line = leaking->second;
    EXPECT_TRUE(std::is_sorted(line.rbegin(), line.rend())) << "falling all the way";
    EXPECT_GE(line.front() - line.back(), 2 * 8) << "eight psi or more lost in 25 s";
    const auto events = store.events(start, start + 30'000);
    EXPECT_TRUE(std::any_of(events.begin(), events.end(), [&](const history::Event& e) {
        return e.kind == history::EventKind::AlarmRaised && e.wheel == leaking->first;
    }));
}

TEST(SimulatedUnit, NoiseAndFloodsAreSurvivedAndCleanFramesStillApplied) {
    for (sim::Scenario scenario : {sim::Scenario::NoisyLine, sim::Scenario::Flood}) {
        test::MonitorFixture f;
        MonitorCore& m = f.start();
        ModelOnTheLine unit(f, scenario);
        unit.run(milliseconds{8000}); // the flood lasts from 2 s to 7 s
        m.state().TyrePressure.fill(0);
        unit.run(milliseconds{2000});
        for (int wheel = 0; wheel < kShownWheels; ++wheel) {
            EXPECT_GT(m.state().TyrePressure[wheel], 40) << wheel;
            EXPECT_LT(m.state().TyrePressure[wheel], 100) << wheel;
        }
    }
}

} // namespace
} // namespace vorn
