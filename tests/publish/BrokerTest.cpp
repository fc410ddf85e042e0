// The monitor as a service (vornd, or vorn --headless, which runs it)
// against a real mosquitto broker, its unit played on a pseudo-terminal.
#include "tests/publish/Broker.h"

#include "history/HistoryStore.h"
#include "protocol/MonitorEffects.h"
#include "publish/MqttLink.h"
#include "sim/Frames.h"
#include "tests/notify/NotificationBus.h"
#include "tests/support/PseudoTerminal.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <set>

namespace vorn {
namespace {

using test::Broker;
using test::Received;
using test::Subscriber;

const std::string kAvailability = "vorn/van/availability";

// How the program is started: on the plain port, or on the TLS one with
// `ca` and the client certificate; as vornd or as `vorn --headless`; with
// notices on `bus` (and a silent sensor after 3 s, not minutes) or none.
struct Launch {
    bool tls = false;
    QString ca{};
    QByteArray password = Broker::kPassword;
    QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner; // of the password file
    bool viaVorn = false;
    QString bus{};
};

// The real program without a window, in a folder of its own with COM1 on a
// pseudo-terminal and its own per-user settings.
class Headless {
public:
    explicit Headless(const Broker& broker, const Launch& run = {}) {
        dir.writeSettings(test::defaultSettings());
        QFile::link(unit.devicePath(), dir.file("COM1"));
        dir.write("password", run.password + "\n");
        QFile::setPermissions(dir.file("password"), run.mode);
        // The broker in the per-user settings file, its port on the command line.
        QDir(dir.path()).mkpath("config/VORN");
        dir.write("config/VORN/vorn.conf", "[mqtt]\nhost=127.0.0.1\nuser=vorn\nunit=van\n"
                                           "password_file=" +
                                               dir.file("password").toUtf8());
        QStringList args{"--history", dir.file("history.sqlite"), "--mqtt-port",
                         QString::number(run.tls ? broker.tlsPort() : broker.plainPort())};
        if (run.bus.isEmpty())
            args.prepend("--no-notify");
        if (run.tls)
            args << "--mqtt-ca" << run.ca << "--mqtt-cert" << broker.file("client.crt")
                 << "--mqtt-key" << broker.file("client.key");
        if (run.viaVorn)
            args.prepend("--headless");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", dir.file("config"));
        // A session of its own: two copies of one session share the unit
        // instead, the second standing by.
        QDir(dir.path()).mkpath("runtime");
        env.insert("XDG_RUNTIME_DIR", dir.file("runtime"));
        if (!run.bus.isEmpty()) {
            env.insert("DBUS_SESSION_BUS_ADDRESS", run.bus);
            env.insert("VORN_TEST_SILENT_SECONDS", "3");
        }
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dir.path());
        test::endsWithTheTest(process);
        process.start(run.viaVorn ? VORN_BINARY : VORND_BINARY, args);
    }
    ~Headless() { process.kill(), process.waitForFinished(5000); }
    // Standard error so far, waiting up to `ms` for it to hold `part`.
    QString waitForError(const QString& part, int ms = 8000) {
        (void)QTest::qWaitFor(
            [&] {
                errors += QString::fromUtf8(process.readAllStandardError());
                return errors.contains(part);
            },
            ms);
        return errors;
    }
    void report(int wheel, int halfPsi, int temperature, int battery = 0) {
        unit.send(QByteArray::fromStdString(
            sim::frame(sim::longReport({wheel, battery, halfPsi, temperature}))));
    }
    bool endsCleanlyOn(int signal) {
        ::kill(static_cast<pid_t>(process.processId()), signal);
        return process.waitForFinished(8000) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    }
    // Events the history holds that `match`; after the program ended.
    long events(const std::function<bool(const history::Event&)>& match) {
        history::HistoryStore store;
        if (!store.open(dir.file("history.sqlite"), history::OpenMode::ReadOnly).usable())
            return -1;
        const std::vector<history::Event> events = store.events(0, INT64_MAX);
        return std::count_if(events.begin(), events.end(), match);
    }

    test::WorkDir dir;
    test::PseudoTerminal unit;
    QProcess process;
    QString errors;
};

QJsonObject json(const Received& r) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(r.payload)).object();
}

TEST(Broker, TheWheelsTheAlarmAndTheirDiscoveryReachTheBrokerAndAgainAfterItRestarts) {
    Broker broker;
    Subscriber live(broker.plainPort(), {"vorn/#", "homeassistant/#"});
    Headless vorn(broker);
    ASSERT_FALSE(live.waitFor(kAvailability, "online").topic.empty())
        << vorn.waitForError("", 0).toStdString();
    EXPECT_TRUE(vorn.waitForError("unencrypted").contains("vorn: mqtt: warning: the password"));
    vorn.report(0, 64, 65);    // 32.0 psi, 25 °C
    vorn.report(1, 40, 50, 3); // 20.0 psi: below the low threshold; a low battery
    const QJsonObject wheel0 = json(live.waitFor("vorn/van/wheel/0/state", "normal"));
    EXPECT_EQ(wheel0["pressure_psi"].toDouble(), 32.0);
    EXPECT_EQ(wheel0["temperature_c"].toInt(), 25); // the rest of it: WheelPayload.*
    EXPECT_FALSE(wheel0["battery_low"].toBool());
    const QJsonObject wheel1 = json(live.waitFor("vorn/van/wheel/1/state", "\"status\":\"low\""));
    EXPECT_EQ(wheel1["battery"].toInt(), 3);
    EXPECT_TRUE(wheel1["battery_low"].toBool());
    EXPECT_FALSE(live.waitFor("vorn/van/alarm", R"({"state":"ON","wheel":1})").topic.empty());
    vorn.unit.write("$LEND#"); // the unit ends its mode, and the alarm with it
    EXPECT_FALSE(live.waitFor("vorn/van/alarm", R"({"state":"OFF","wheel":null})").topic.empty());

    // A subscriber that comes later gets the discovery, retained.
    Subscriber late(broker.plainPort(), {"homeassistant/#"});
    // The alarm, its button, and eight for each of the vehicle's four wheels,
    // reported or not.
    const std::size_t kEntities = 2 + 4 * 8;
    late.waitFor("", "", kEntities - 1);
    std::set<QString> ids;
    for (const Received& r : late.all()) {
        const QJsonObject config = json(r);
        EXPECT_TRUE(r.retained) << r.topic;
        EXPECT_EQ(config["device"].toObject()["name"].toString(), "VORN tyre monitor") << r.topic;
        EXPECT_EQ(config["availability_topic"].toString().toStdString(), kAvailability);
        EXPECT_TRUE(config["state_topic"].toString().startsWith("vorn/van/") ||
                    config["command_topic"].toString() == "vorn/van/alarm/set")
            << r.topic;
        ids.insert(config["unique_id"].toString());
    }
    EXPECT_EQ(ids.size(), kEntities); // what each entity reads: WheelPublisher.Discovery*
    const QJsonObject button = json(late.waitFor("homeassistant/button/vorn_van/acknowledge"));
    EXPECT_EQ(button["payload_press"].toString(), "ACK");

    broker.stop();
    EXPECT_TRUE(vorn.waitForError("lost the broker").contains("retrying"));
    const std::size_t before = live.all().size();
    broker.start();
    EXPECT_FALSE(live.waitFor(kAvailability, "online", before, 15000).topic.empty());
    EXPECT_FALSE(live.waitFor("vorn/van/wheel/1/state", "low", before).topic.empty());
    EXPECT_FALSE(live.waitFor("homeassistant/sensor/vorn_van/wheel1_pressure/config", "", before)
                     .topic.empty());
}

// Time is driven by the readings: wheels 0 and 1 report on, each change
// published (at most once a second) before the next, until wheel 2, quiet
// since the start, is called silent.
TEST(Broker, AWheelThatFallsSilentWhileOthersReportIsOneWarningOnTheBrokerTheDesktopAndTheHistory) {
    Broker broker;
    test::NotificationBus bus;
    ASSERT_TRUE(bus.registered);
    Subscriber live(broker.plainPort(), {"vorn/van/wheel/#"});
    Headless vorn(broker, {.bus = bus.address()});
    vorn.report(2, 64, 65);
    ASSERT_FALSE(live.waitFor("wheel/2/state", "normal", 0, 15000).topic.empty());
    QJsonObject silent;
    for (int round = 0; round < 30 && silent.isEmpty(); ++round) {
        const std::size_t from = live.all().size();
        vorn.report(0, 64 + round % 2, 65); // a change, so it is published
        vorn.report(1, 64, 65);
        const std::string psi = round % 2 ? "\"pressure_psi\":32.5" : "\"pressure_psi\":32,";
        ASSERT_FALSE(live.waitFor("wheel/0/state", psi, from, 15000).topic.empty());
        silent = json(live.waitFor("wheel/2/state", "\"status\":\"silent\"", 0, 0));
    }
    ASSERT_FALSE(silent.isEmpty()) << vorn.waitForError("", 0).toStdString();
    EXPECT_EQ(silent["warning"].toString(), "silent");
    EXPECT_EQ(silent["pressure_psi"].toDouble(), 32.0);               // its last reading stays
    EXPECT_NEAR(silent["cold_pressure_psi"].toDouble(), 31.22, 0.01); // at 20 °C, not 25
    EXPECT_TRUE(silent["leak_psi_per_day"].isNull());                 // too few readings
    const QJsonObject other = json(live.waitFor("wheel/1/state", "", 0, 0));
    EXPECT_EQ(other["status"].toString(), "normal");
    EXPECT_TRUE(other["warning"].isNull());

    ASSERT_TRUE(QTest::qWaitFor([&] { return !bus.notified.empty(); }, 15000));
    EXPECT_EQ(bus.notified[0].summary, "Tyre warning");
    EXPECT_TRUE(bus.notified[0].body.startsWith("Wheel 2: no report for "))
        << bus.notified[0].body.toStdString();

    // The sensor comes back: the warning ends, its notice is withdrawn.
    const std::size_t from = live.all().size();
    vorn.report(2, 64, 65);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !bus.closed.empty(); }, 15000));
    EXPECT_EQ(bus.closed[0], 101u);
    ASSERT_FALSE(live.waitFor("wheel/2/state", "\"warning\":null", from, 15000).topic.empty());
    EXPECT_EQ(bus.notified.size(), 1u);
    ASSERT_TRUE(vorn.endsCleanlyOn(SIGTERM));
    for (const auto kind : {history::EventKind::WarningBegun, history::EventKind::WarningEnded})
        EXPECT_EQ(vorn.events([kind](const history::Event& e) {
            return e.kind == kind && e.wheel == 2 && history::warningOfDetail(e.detail) == 2;
        }),
                  1);
}

// Home Assistant's button publishes ACK; anything else on the topic, from
// whoever may publish there, does nothing and is said on standard error,
// and without an alarm ACK does nothing either. A bad message published
// after each case proves the program has handled the case once it is said.
TEST(Broker, OnlyTheExactAckFromTheBrokerAcknowledgesAStandingAlarm) {
    Broker broker;
    Subscriber live(broker.plainPort(), {"vorn/van/#"});
    const QByteArray mebibyte = "ACK" + QByteArray((1 << 20) - 3, 'K');
    const struct {
        QByteArray payload;
        bool standing; // an alarm stands when it comes
        long acknowledged;
    } cases[] = {
        {"ACK", true, 1}, {"ACK", false, 0}, {"ack", true, 0}, {"", true, 0}, {mebibyte, true, 0}};
    for (const auto& c : cases) {
        const std::string what = c.payload.left(8).toStdString() + (c.standing ? " alarm" : "");
        std::size_t from = live.all().size();
        Headless vorn(broker);
        ASSERT_FALSE(live.waitFor(kAvailability, "online", from).topic.empty()) << what;
        if (c.standing) {
            vorn.report(1, 40, 50); // below the low threshold
            ASSERT_FALSE(live.waitFor("vorn/van/alarm", R"("state":"ON")", from).topic.empty());
        }
        from = live.all().size();
        live.publish("vorn/van/alarm/set", c.payload);
        live.publish("vorn/van/alarm/set", "fence");
        EXPECT_TRUE(vorn.waitForError("ignored a message of").contains("only the payload ACK"))
            << what;
        if (c.acknowledged) {
            EXPECT_FALSE(live.waitFor("vorn/van/alarm", R"("state":"OFF")", from).topic.empty());
        }
        // A click without an alarm would have told the unit to end its mode.
        EXPECT_FALSE(vorn.unit.read(0).contains("LEND")) << what;
        ASSERT_TRUE(vorn.endsCleanlyOn(SIGTERM)) << what;
        EXPECT_EQ(vorn.events([](const history::Event& e) {
            return e.kind == history::EventKind::AlarmEnded &&
                   e.detail == static_cast<int>(AlarmEnd::Acknowledged);
        }),
                  c.acknowledged)
            << what;
    }
}

TEST(Broker, TwoCopiesWithTheDefaultClientIdBothStayConnected) {
    Broker broker;
    Subscriber live(broker.plainPort(), {"vorn/van/wheel/#"});
    Headless first(broker);
    ASSERT_TRUE(first.waitForError("connected to").contains("connected to"));
    Headless second(broker);
    ASSERT_TRUE(second.waitForError("connected to").contains("connected to"));
    // With one id the second would have thrown the first off, which could
    // publish only after a retry a second later.
    first.report(0, 64, 65);
    second.report(1, 64, 65);
    EXPECT_FALSE(live.waitFor("vorn/van/wheel/0/state").topic.empty());
    EXPECT_FALSE(live.waitFor("vorn/van/wheel/1/state").topic.empty());
    for (Headless* vorn : {&first, &second}) {
        const QString said = vorn->waitForError("", 0);
        EXPECT_EQ(said.count("connected to"), 1) << said.toStdString();
        EXPECT_FALSE(said.contains("lost the broker")) << said.toStdString();
    }
}

TEST(Broker, WhileTheBrokerIsAwayOnlyTheLatestOfATopicWaitsAndGoesOutOnceItStarts) {
    using namespace std::chrono_literals;
    Broker broker;
    broker.stop();
    mqtt::Settings settings;
    settings.host = "127.0.0.1";
    settings.port = broker.plainPort();
    settings.clientId = "latest";
    settings.user = Broker::kUser;
    settings.password = Broker::kPassword;
    mqtt::MqttLink link(settings, nullptr, {10ms, 100ms, 60s});
    for (const QByteArray payload : {"1", "22", "333"})
        link.publish({"vorn/t/x", payload, true, 0});
    broker.start();
    const QString log = broker.waitForLog("'vorn/t/x', ... (3 bytes)");
    EXPECT_TRUE(log.contains("Received PUBLISH from latest (d0, q0, r1, m0, 'vorn/t/x', ... (3"));
    EXPECT_FALSE(log.contains("'vorn/t/x', ... (1 bytes)") || log.contains("(2 bytes)"));
}

TEST(Broker, AKilledOrStoppedProgramLeavesOfflineBehind) {
    Broker broker;
    for (const auto& [signal, tls] : {std::pair{SIGKILL, false}, std::pair{SIGTERM, true}}) {
        Subscriber live(broker.plainPort(), {kAvailability});
        Headless vorn(broker,
                      {.tls = tls, .ca = broker.file("ca.crt"), .viaVorn = signal == SIGTERM});
        ASSERT_FALSE(live.waitFor(kAvailability, "online").topic.empty())
            << vorn.waitForError("", 0).toStdString();
        const std::size_t before = live.all().size();
        EXPECT_EQ(vorn.endsCleanlyOn(signal), signal == SIGTERM) << signal;
        EXPECT_FALSE(live.waitFor(kAvailability, "offline", before).topic.empty()) << signal;
    }
}

TEST(Broker, ARefusalOrAnUntrustedServerIsSaidAndTheProgramRunsOn) {
    Broker broker;
    const std::pair<Launch, const char*> cases[] = {
        {{.password = "wrong", .mode = QFile::ReadOwner},
         "the broker at 127.0.0.1:$PORT refused the connection"},
        {{.tls = true, .ca = broker.file("other.crt"), .mode = QFile::ReadOwner},
         "certificate verify failed"},
        {{.mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther},
         "password_file: '$DIR/password' is readable by other users; refusing it"},
    };
    for (const auto& [run, text] : cases) {
        Headless vorn(broker, run);
        const QString said = QString(text)
                                 .replace("$PORT", QString::number(broker.plainPort()))
                                 .replace("$DIR", vorn.dir.path());
        EXPECT_TRUE(vorn.waitForError(said).contains(said)) << vorn.errors.toStdString();
        EXPECT_EQ(vorn.process.state(), QProcess::Running);
        EXPECT_TRUE(vorn.endsCleanlyOn(SIGTERM)) << said.toStdString();
    }
}

} // namespace
} // namespace vorn
