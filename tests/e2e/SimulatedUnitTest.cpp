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

// Runs the monitor's three timers once, as 100 ms of the program's life.
void tick(MonitorCore& m) {
    m.Timer2Timer();
    m.Timer3Timer();
    m.Timer1Timer();
}

// The simulated unit on the window's own pseudo-terminal, on a clock the test drives.
struct ModelOnTheLine {
    ModelOnTheLine(test::MonitorFixture& f, sim::Scenario scenario)
        : fixture(f), model(sim::UnitConfig{.scenario = scenario, .wheels = 6}) {}
    void run(milliseconds span) {
        for (milliseconds t{0}; t < span; t += milliseconds{100}) {
            model.advance(milliseconds{100});
            if (const std::string out = model.takeSerialBytes(); !out.empty())
                fixture.unit.write(QByteArray::fromStdString(out));
            tick(*fixture.core);
            model.receiveSerial(fixture.unit.read(0).toStdString());
        }
    }
    test::MonitorFixture& fixture;
    sim::UnitModel model;
};

TEST(SimulatedUnit, ASlowLeakIsKeptInTheHistoryAsAFallingLineAndAnAlarm) {
    WindowFixture f;
    TFmain& w = f.open();
    ModelOnTheLine unit(f, sim::Scenario::SlowLeak);
    const QString path = f.dir.file(QStringLiteral("history.sqlite"));
    constexpr history::TimeMs start = 1'796'600'000'000;
    auto* feature =
        new HistoryFeature(*f.core, {path, 400, [&] { return start + unit.model.now().count(); }});
    new HistoryViews(w, *feature);
    unit.run(milliseconds{25000});
    // Hovering wheel 1's digits tells when it last reported.
    QHelpEvent hover(QEvent::ToolTip, QPoint(400, 60), w.Image1->mapToGlobal(QPoint(400, 60)));
    QCoreApplication::sendEvent(w.Image1, &hover);
    EXPECT_TRUE(QToolTip::text().startsWith(QStringLiteral("Wheel 1: last report ")))
        << QToolTip::text().toStdString();
    delete feature; // writes what is queued

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
