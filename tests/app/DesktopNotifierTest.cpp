// Alarm notifications on a real session bus, to a notification service that
// records what it is asked.
#include "app/DesktopNotifier.h"

#include "tests/monitor/MonitorFixture.h"

#include <QDBusConnection>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

namespace vorn {
namespace {

using test::MonitorFixture;

// A private dbus-daemon with this recording notification service on it.
class NotificationBus : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    NotificationBus() {
        daemon_.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address"});
        for (int tries = 0; !daemon_.canReadLine() && tries < 50; ++tries)
            daemon_.waitForReadyRead(100);
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        QDBusConnection service = QDBusConnection::connectToBus(address_, "service");
        registered = service.registerObject("/org/freedesktop/Notifications", this,
                                            QDBusConnection::ExportAllSlots) &&
                     service.registerService("org.freedesktop.Notifications");
    }
    ~NotificationBus() override {
        QDBusConnection::disconnectFromBus("service");
        QDBusConnection::disconnectFromBus("client");
        daemon_.terminate();
        daemon_.waitForFinished();
    }
    QDBusConnection client() const { return QDBusConnection::connectToBus(address_, "client"); }

    struct Notice {
        uint replacesId;
        QString summary, body;
        QVariantMap hints;
    };
    std::vector<Notice> notified;
    std::vector<uint> closed;
    bool registered = false;

public slots:
    uint Notify(const QString&, uint replacesId, const QString&, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap& hints, int) {
        notified.push_back({replacesId, summary, body, hints});
        return replacesId != 0 ? replacesId : ++lastId_;
    }
    void CloseNotification(uint id) { closed.push_back(id); }

private:
    uint lastId_ = 100;
    QProcess daemon_;
    QString address_;
};

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
    MonitorFixture f;
    MonitorCore& w = f.start();
    new DesktopNotifier(w, bus.client());
    // A second one without a bus must neither block nor stop the alarm.
    new DesktopNotifier(w, QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "nobus"));
    const auto& notified = bus.notified;
    const auto& closed = bus.closed;

    // Two wheels in one refresh: the second waits for the first one's number.
    refreshWith(w, {{2, 40, 25}, {3, 64, 80}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return notified.size() == 2; }));
    EXPECT_EQ(notified[0].summary, "Tyre alarm");
    EXPECT_EQ(notified[0].body, "wheel 2: low pressure, 20.0 psi");
    EXPECT_EQ(notified[0].replacesId, 0u);
    EXPECT_EQ(notified[0].hints.value("urgency").metaType().id(), QMetaType::UChar);
    EXPECT_EQ(notified[0].hints.value("urgency").toInt(), 2);
    EXPECT_EQ(notified[1].body, "wheel 2: low pressure, 20.0 psi\n"
                                "wheel 3: high temperature, 80 °C");
    EXPECT_EQ(notified[1].replacesId, 101u);

    EXPECT_EQ(w.panels().brandCaption, "ALARM !");
    w.acknowledge();
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed.size() == 1; }));
    EXPECT_EQ(closed[0], 101u);

    // A new alarm is a new notice; acknowledged before the service answered,
    // it is closed as soon as its number is known.
    refreshWith(w, {{0, 100, 25}});
    w.acknowledge();
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed.size() == 2; }));
    EXPECT_EQ(notified.size(), 3u);
    EXPECT_EQ(notified[2].replacesId, 0u);
    EXPECT_EQ(notified[2].body, "wheel 0: high pressure, 50.0 psi");
    EXPECT_EQ(closed[1], 102u);
}

TEST(DesktopNotifier, TheLineNamesTheStateInTheUnitOfTheScreen) {
    const struct {
        std::int32_t pressure, temperature, unit, status;
        const char* line;
    } cases[] = {
        {41, 65, 0, status::LowPressure, "wheel 1: low pressure, 20.5 psi"},
        {60, 65, 1, status::HighPressure, "wheel 1: high pressure, 2.07 bar"},
        {40, 65, 2, status::LowPressure, "wheel 1: low pressure, 138 kPa"},
        {40, 120, 0, status::LowPressure | status::HighTemperature,
         "wheel 1: low pressure, 20.0 psi; high temperature, 80 °C"},
        {NoReading, 65, 0, status::LowPressure, "wheel 1: low pressure"},
    };
    for (const auto& c : cases) {
        TyreStateTable state;
        state.TyrePressure[1] = c.pressure;
        state.TyreTemperature[1] = c.temperature;
        MonitorSettings settings;
        settings.PressureUnitIndex = c.unit;
        EXPECT_EQ(alarmLine(1, c.status | status::SensorFlag, state, settings), c.line);
    }
}

} // namespace
} // namespace vorn

#include "DesktopNotifierTest.moc"
