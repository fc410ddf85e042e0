// Alarm notifications on a real session bus, to a notification service that
// records what it is asked.
#include "notify/DesktopNotifier.h"

#include "notify/DbusNotices.h"
#include "tests/monitor/MonitorFixture.h"
#include "tests/notify/NotificationBus.h"

#include <QDBusConnection>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

namespace vorn {
namespace {

using test::MonitorFixture;
using test::NotificationBus;

// Readings stored for `wheels` as the parser stores them, then one refresh.
void refreshWith(MonitorCore& m, std::initializer_list<std::array<int, 3>> wheels) {
    for (const auto& [wheel, halfPsi, celsius] : wheels)
        m.state().StoreSensorReport(wheel, 1, true, halfPsi, celsius + ZeroCelsius);
    m.Timer1Timer();
}

TEST(DesktopNotifier,
     AnAlarmIsOneCriticalNoticeReplacedAsWheelsJoinClosedOnAcknowledgeAndNeedsNoBus) {
    NotificationBus bus;
    ASSERT_TRUE(bus.registered);
    DbusNotices connector(bus.address());
    DbusNotices noBus(QStringLiteral("unix:path=/nonexistent/bus"));
    MonitorFixture f({"26", "45", "70", "0", "1", "0", "0", "0"}); // Degree F
    MonitorCore& w = f.start();
    new DesktopNotifier(w, connector);
    // A second one without a bus must neither block nor stop the alarm.
    new DesktopNotifier(w, noBus);
    const auto& notified = bus.notified;
    const auto& closed = bus.closed;

    // Raised before the bus is reached (its answer is queued behind this
    // refresh): shown once it is.
    refreshWith(w, {{2, 40, 25}, {3, 64, 80}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return notified.size() == 1; }));
    EXPECT_EQ(notified[0].summary, "Tyre alarm");
    EXPECT_EQ(notified[0].body, "wheel 2: low pressure, 20.0 psi\n"
                                "wheel 3: high temperature, 176 °F");
    EXPECT_EQ(notified[0].replacesId, 0u);
    EXPECT_EQ(notified[0].hints.value("urgency").metaType().id(), QMetaType::UChar);
    EXPECT_EQ(notified[0].hints.value("urgency").toInt(), 2);
    EXPECT_EQ(w.panels().brandCaption, "ALARM !");
    w.acknowledge();
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed.size() == 1; }));
    EXPECT_EQ(closed[0], 101u);

    // Two wheels in one refresh: the second waits for the first one's number.
    refreshWith(w, {{0, 40, 25}, {1, 40, 25}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return notified.size() == 3; }));
    EXPECT_EQ(notified[1].body, "wheel 0: low pressure, 20.0 psi");
    EXPECT_EQ(notified[1].replacesId, 0u);
    EXPECT_EQ(notified[2].body, "wheel 0: low pressure, 20.0 psi\n"
                                "wheel 1: low pressure, 20.0 psi");
    EXPECT_EQ(notified[2].replacesId, 102u);
    w.acknowledge();
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed.size() == 2; }));
    EXPECT_EQ(closed[1], 102u);

    // Acknowledged before the service answered, a notice is closed as soon
    // as its number is known.
    refreshWith(w, {{0, 100, 25}});
    w.acknowledge();
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed.size() == 3; }));
    EXPECT_EQ(notified.size(), 4u);
    EXPECT_EQ(notified[3].replacesId, 0u);
    EXPECT_EQ(notified[3].body, "wheel 0: high pressure, 50.0 psi");
    EXPECT_EQ(closed[2], 103u);
}

// While the alarm stands its notice follows the reading: replaced, with
// the value shown at the time, no sooner than 10 s after the one before.
TEST(DesktopNotifier, TheNoticeFollowsTheReadingAtMostOnceInTenSeconds) {
    NotificationBus bus;
    ASSERT_TRUE(bus.registered);
    DbusNotices connector(bus.address());
    MonitorFixture f;
    MonitorCore& w = f.start();
    qint64 now = 0;
    auto* notifier = new DesktopNotifier(w, connector, [&] { return now; });
    const auto& notified = bus.notified;
    refreshWith(w, {{2, 40, 25}});
    // Each step comes once the service's answer is in, so nothing but the
    // pace holds a notice back; one sent too soon would come before the
    // one expected (a bus keeps the order) and stand in its place.
    const struct {
        qint64 at;
        int halfPsi;
        const char* body; // the next notice, or none yet
    } steps[] = {
        {3000, 38, nullptr},
        {6000, 36, nullptr},
        {10'000, 35, "wheel 2: low pressure, 17.5 psi"},
        {12'000, 34, nullptr},
        {21'000, 33, "wheel 2: low pressure, 16.5 psi"},
    };
    std::size_t expected = 1;
    for (const auto& step : steps) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return notifier->shownId() == 101; }));
        now = step.at;
        refreshWith(w, {{2, step.halfPsi, 25}});
        if (!step.body)
            continue;
        ASSERT_TRUE(QTest::qWaitFor([&] { return notified.size() > expected; }));
        EXPECT_EQ(notified[expected].body.toStdString(), step.body);
        EXPECT_EQ(notified[expected].replacesId, 101u);
        ++expected;
    }
}

TEST(DesktopNotifier, TheLineNamesTheStateInTheUnitOfTheScreen) {
    const struct {
        std::int32_t pressure, temperature, unit, temperatureUnit, status;
        const char* line;
    } cases[] = {
        {41, 65, 0, 0, status::LowPressure, "wheel 1: low pressure, 20.5 psi"},
        {60, 65, 1, 0, status::HighPressure, "wheel 1: high pressure, 2.07 bar"},
        {40, 65, 2, 0, status::LowPressure, "wheel 1: low pressure, 138 kPa"},
        {40, 120, 0, 0, status::LowPressure | status::HighTemperature,
         "wheel 1: low pressure, 20.0 psi; high temperature, 80 °C"},
        {64, 110, 0, 1, status::HighTemperature, "wheel 1: high temperature, 158 °F"},
        {64, 35, 0, 1, status::HighTemperature, "wheel 1: high temperature, 23 °F"},
        {NoReading, 65, 0, 0, status::LowPressure, "wheel 1: low pressure"},
    };
    for (const auto& c : cases) {
        TyreStateTable state;
        state.TyrePressure[1] = c.pressure;
        state.TyreTemperature[1] = c.temperature;
        const MonitorSettings settings{26, 45, 70, c.unit, c.temperatureUnit};
        EXPECT_EQ(alarmLine(1, c.status | status::SensorFlag, state, settings), c.line);
    }
}

} // namespace
} // namespace vorn
