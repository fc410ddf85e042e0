#include "app/HistoryViews.h"
#include "app/HistoryWiring.h"
#include "history/HistoryStore.h"
#include "sim/UnitModel.h"
#include "tests/window/WindowFixture.h"

#include <QCoreApplication>
#include <QHelpEvent>
#include <QToolTip>
#include <gtest/gtest.h>

namespace vorn {
namespace {

using std::chrono::milliseconds;
using test::WindowFixture;

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
            fixture.core->Timer2Timer(); // the three timers once: 100 ms of the program's life
            fixture.core->Timer3Timer();
            fixture.core->Timer1Timer();
            model.receiveSerial(fixture.unit.read(0).toStdString());
        }
    }
    test::MonitorFixture& fixture;
    sim::UnitModel model;
    std::vector<std::pair<history::TimeMs, QByteArray>> sent;
};

// A reading as wheel, half psi, temperature plus 40, battery, sensor flag and
// serial link (1 each), with the time it was sent or stored.
using Row = std::array<int, 6>;
using Rows = std::map<int, std::vector<std::pair<history::TimeMs, Row>>>;

// The sensor reports in what the unit sent, decoded by hand from their long
// form: wheel, battery, sensor flag, half psi ("5" or "0"), whole psi and
// temperature plus 40 as hex pairs. Each wheel keeps a reading only when it
// changed, as the history does within a minute.
Rows sentReadings(const ModelOnTheLine& unit, history::TimeMs start) {
    Rows readings;
    const auto hex = [](const QByteArray& digits) { return digits.toInt(nullptr, 16); };
    for (const auto& [at, bytes] : unit.sent) {
        for (qsizetype i = bytes.indexOf('$'); i >= 0; i = bytes.indexOf('$', i + 1)) {
            const QByteArray body = bytes.mid(i + 1, 10);
            const Row row{hex(body.left(1)),
                          2 * hex(body.mid(4, 2)) + (body[3] == '5'),
                          hex(body.mid(6, 2)),
                          hex(body.mid(1, 1)),
                          1,
                          1};
            auto& line = readings[row[0]];
            if (line.empty() || line.back().second != row)
                line.push_back({start + at, row});
        }
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
    new HistoryViews(w, accessTo(*feature));
    unit.run(milliseconds{25000});
    // Hovering wheel 1's digits tells when it last reported.
    QHelpEvent hover(QEvent::ToolTip, QPoint(400, 60), w.Image1->mapToGlobal(QPoint(400, 60)));
    QCoreApplication::sendEvent(w.Image1, &hover);
    EXPECT_TRUE(QToolTip::text().startsWith(QStringLiteral("Wheel 1: last report ")))
        << QToolTip::text().toStdString();
    delete feature; // writes what is queued

    // Each wheel's stored readings are the ones the unit sent, in order,
    // stored by the next poll of the line.
    history::HistoryStore store;
    ASSERT_TRUE(store.open(path, history::OpenMode::ReadOnly).usable());
    Rows stored;
    store.forEachReading(start, start + 30'000, [&](const history::Reading& r) {
        stored[r.wheel].push_back({r.time,
                                   {r.wheel, r.pressure, r.temperature, r.battery, r.sensorFlag,
                                    r.link == ReportLink::Serial}});
    });
    const Rows sent = sentReadings(unit, start);
    ASSERT_EQ(stored.size(), 6u);
    ASSERT_EQ(sent.size(), 6u);
    for (const auto& [wheel, lines] : sent) {
        const auto& got = stored.at(wheel);
        ASSERT_EQ(got.size(), lines.size()) << "wheel " << wheel;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(got[i].second, lines[i].second) << "wheel " << wheel << ", line " << i;
            EXPECT_GE(got[i].first, lines[i].first);
            EXPECT_LE(got[i].first, lines[i].first + 1000);
        }
    }
    const auto leaking = std::min_element(stored.begin(), stored.end(), [](auto& a, auto& b) {
        return a.second.back().second[1] < b.second.back().second[1];
    });
    std::vector<int> line;
    for (const auto& reading : leaking->second)
        line.push_back(reading.second[1]);
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
