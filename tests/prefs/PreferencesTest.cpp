// The Preferences dialog over a prepared vorn.conf in the test's own
// configuration folder, with the monitor on a pseudo-terminal, and against a
// real mosquitto broker.
#include "app/CommandLine.h"
#include "app/Outputs.h"
#include "notify/DbusNotices.h"
#include "publish/MqttSettings.h"
#include "tests/publish/Broker.h"
#include "tests/window/WindowFixture.h"
#include "window/ConnectionTestBox.h"
#include "window/PreferencesDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vorn {
namespace {

using test::Broker;
using test::Subscriber;

constexpr int kWaitMs = 15000;

// A window on a monitor, with vorn.conf holding `conf` beforehand.
struct PreferencesFixture : test::WindowFixture {
    explicit PreferencesFixture(const QByteArray& conf = {}) {
        QDir().mkpath(dir.file(QStringLiteral("config/VORN")));
        if (!conf.isEmpty())
            dir.write(QStringLiteral("config/VORN/vorn.conf"), conf);
    }
    QString conf() const { return dir.file(QStringLiteral("config/VORN/vorn.conf")); }
    // A password file as the user keeps it: private.
    QString passwordFile(const QByteArray& password) const {
        dir.write(QStringLiteral("password"), password + "\n");
        QFile::setPermissions(dir.file(QStringLiteral("password")),
                              QFile::ReadOwner | QFile::WriteOwner);
        return dir.file(QStringLiteral("password"));
    }
    void type(PreferencesDialog& d, const QString& field, const QString& text) {
        d.edit(field)->setText(text);
    }
};

// `payload` empty: any.
bool published(Subscriber& s, const std::string& topic, const std::string& payload) {
    for (const test::Received& r : s.all())
        if (r.topic == topic && (payload.empty() || r.payload == payload))
            return true;
    return false;
}

// A loopback port nobody listens on: one the kernel just gave out and took back.
int closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    ::close(fd);
    return ntohs(a.sin_port);
}

TEST(Preferences, ABadValueIsRefusedWithTheCommandLinesMessageAndAGoodSetIsWrittenAndReadBack) {
    PreferencesFixture f("[mqtt]\ndiscovery_prefix=ha\n[history]\ndays=100\n"
                         "[insight]\nmystery=42\n[view]\nother=kept\n");
    PreferencesDialog& d = *f.open().showPreferences();
    EXPECT_EQ(d.edit("history/days")->text(), "100");
    // Each refusal is the one the program or its command line gives for
    // the option: the same check, not a copy.
    const struct {
        QString field, text, refusal;
        QStringList option;
    } cases[] = {
        {"mqtt/port", "0", "port: '0' is not a port number (1 to 65535)", {"--mqtt-port", "0"}},
        {"mqtt/port",
         "18x3",
         "port: '18x3' is not a port number (1 to 65535)",
         {"--mqtt-port", "18x3"}},
        {"mqtt/prefix",
         "a/+/b",
         "prefix: 'a/+/b' holds an MQTT wildcard",
         {"--mqtt-prefix", "a/+/b"}},
        {"mqtt/password_file",
         "/no/such",
         "password_file: cannot read '/no/such'",
         {"--mqtt-password-file", "/no/such"}},
        {"history/raw_days",
         "7",
         "raw_days: '7' is not a whole number from 8 to 36500",
         {"--history-raw-days", "7"}},
        {"history/days",
         "0",
         "days: '0' is not a whole number from 1 to 36500",
         {"--history-days", "0"}},
        {"insight/silent_minutes",
         "soon",
         "silent_minutes: 'soon' is not a whole number from 1 to 1440",
         {}},
    };
    for (const auto& c : cases) {
        const QString before = d.edit(c.field)->text();
        f.type(d, c.field, c.text);
        EXPECT_EQ(d.refusal(c.field)->text(), c.refusal) << c.field.toStdString();
        EXPECT_FALSE(d.applyButton()->isEnabled()) << c.field.toStdString();
        if (!c.option.isEmpty()) {
            const CommandLine cl =
                parseCommandLine(QStringList{"vorn", "--mqtt-host", "b"} + c.option);
            QSettings none(f.dir.file("none.conf"), QSettings::IniFormat);
            const QString said = cl.error + mqtt::loadSettings(none, cl.options.mqtt, "host").error;
            EXPECT_TRUE(said.contains(c.refusal.section(": ", 1))) << said.toStdString();
        }
        f.type(d, c.field, before);
        EXPECT_TRUE(d.applyButton()->isEnabled()) << c.field.toStdString();
    }

    f.type(d, "mqtt/host", "127.0.0.1");
    f.type(d, "mqtt/port", "1884");
    f.type(d, "history/days", "");
    f.type(d, "insight/slow_leak_psi_per_day", "1.5");
    d.check("mqtt/discovery")->setChecked(false);
    d.check("notify/enabled")->setChecked(false);
    d.wheels()->setCurrentText("6");
    QTest::mouseClick(d.applyButton(), Qt::LeftButton);
    EXPECT_EQ(f.core->wheels(), 6); // the window follows at once

    QSettings file(f.conf(), QSettings::IniFormat);
    for (const auto& [key, value] : {std::pair{"mqtt/host", "127.0.0.1"},
                                     {"mqtt/port", "1884"},
                                     {"mqtt/discovery", "off"},
                                     {"notify/enabled", "off"},
                                     {"insight/slow_leak_psi_per_day", "1.5"},
                                     {"vehicle/wheels", "6"},
                                     {"mqtt/discovery_prefix", "ha"},
                                     {"insight/mystery", "42"},
                                     {"view/other", "kept"}})
        EXPECT_EQ(file.value(key).toString(), value) << key;
    EXPECT_FALSE(file.contains("history/days")); // emptied: the default again
    EXPECT_EQ(f.savedSettings(), "26\r\n45\r\n70\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
    const PreferencesDialog again(*f.core, {});
    EXPECT_EQ(again.edit("mqtt/port")->text(), "1884");
    EXPECT_FALSE(again.check("mqtt/discovery")->isChecked());
    EXPECT_EQ(again.wheels()->currentText(), "6");
}

TEST(Preferences, ApplyMovesThePublishingToTheNewBrokerWithoutARestart) {
    Broker broker;
    PreferencesFixture f;
    f.dir.write("config/VORN/vorn.conf",
                QStringLiteral("[mqtt]\nhost=127.0.0.1\nport=%1\nuser=%2\npassword_file=%3\n"
                               "unit=car\n")
                    .arg(broker.plainPort())
                    .arg(Broker::kUser, f.passwordFile(Broker::kPassword))
                    .toUtf8());
    Subscriber watch(broker.plainPort(), {"vorn/#"});
    ProgramOptions options;
    options.notify = false;
    DbusNotices bus;
    f.open();
    Outputs outputs(*f.core, options, bus);
    ASSERT_TRUE(QTest::qWaitFor([&] { return published(watch, "vorn/car/availability", "online"); },
                                kWaitMs));

    // Broker B: the TLS listener, with the client's certificate, as another unit.
    PreferencesDialog& d = *f.window->showPreferences();
    f.type(d, "mqtt/port", QString::number(broker.tlsPort()));
    f.type(d, "mqtt/ca_file", broker.file("ca.crt"));
    f.type(d, "mqtt/cert_file", broker.file("client.crt"));
    f.type(d, "mqtt/key_file", broker.file("client.key"));
    f.type(d, "mqtt/unit", "truck");
    ASSERT_TRUE(d.applyButton()->isEnabled()) << d.refusal("mqtt/key_file")->text().toStdString();
    QTest::mouseClick(d.applyButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return published(watch, "vorn/truck/availability", "online"); }, kWaitMs));
    EXPECT_TRUE(published(watch, "vorn/car/availability", "offline"));
    f.receive(test::sensorFrame(0, 30, 25));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return published(watch, "vorn/truck/wheel/0/state", {}); }, kWaitMs));
    // What a newcomer finds kept: the new unit online, the old one offline.
    Subscriber later(broker.plainPort(), {"vorn/+/availability"});
    EXPECT_TRUE(later.waitFor("vorn/truck/availability", "online").retained);
    EXPECT_TRUE(later.waitFor("vorn/car/availability", "offline").retained);
}

TEST(Preferences, TestConnectionSaysInWordsWhatTheBrokerAnswered) {
    Broker broker;
    PreferencesFixture f;
    PreferencesDialog& d = *f.open().showPreferences();
    const QString where = QStringLiteral("127.0.0.1:%1");
    const int closed = closedPort();
    const struct {
        int port;
        QByteArray password;
        QString said;
        bool connected;
    } cases[] = {
        {broker.plainPort(), "wrong",
         "The broker at " + where.arg(broker.plainPort()) + " refused: ", false},
        {broker.plainPort(), Broker::kPassword, "Connected to " + where.arg(broker.plainPort()),
         true},
        {closed, Broker::kPassword, "Cannot reach " + where.arg(closed) + ": connection refused",
         false},
    };
    for (const auto& c : cases) {
        f.type(d, "mqtt/host", "127.0.0.1");
        f.type(d, "mqtt/port", QString::number(c.port));
        f.type(d, "mqtt/user", Broker::kUser);
        f.type(d, "mqtt/password_file", f.passwordFile(c.password));
        QSignalSpy tested(d.connectionTest(), &ConnectionTestBox::tested);
        QTest::mouseClick(d.connectionTest()->button(), Qt::LeftButton);
        EXPECT_FALSE(d.connectionTest()->button()->isEnabled()); // the dialog is live meanwhile
        ASSERT_TRUE(tested.wait(kWaitMs)) << c.said.toStdString();
        EXPECT_EQ(tested.first().first().toBool(), c.connected);
        EXPECT_TRUE(d.connectionTest()->result()->text().startsWith(c.said))
            << d.connectionTest()->result()->text().toStdString();
    }
    EXPECT_FALSE(QFile::exists(f.conf())); // a test writes nothing
}

} // namespace
} // namespace vorn
