#include "publish/Backoff.h"
#include "publish/MqttSettings.h"
#include "publish/WheelPublisher.h"
#include "tests/support/TestSupport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace vorn::mqtt {
namespace {

TEST(MqttSettings, EachUnusableValueNamesItsKeyNoHostMeansOffAndTheUnitIsTheHostName) {
    test::WorkDir dir;
    dir.write("ca.pem", "x");
    dir.write("key.pem", "x");
    QFile::setPermissions(dir.file("ca.pem"), QFile::ReadOwner | QFile::ReadOther);
    QFile::setPermissions(dir.file("key.pem"), QFile::ReadOwner);
    const QString ca = dir.file("ca.pem"), key = dir.file("key.pem");
    const struct {
        QMap<QString, QString> given;
        QString error; // empty: usable
    } cases[] = {
        {{{"host", "b"}, {"port", "0"}}, "port: '0' is not a port number (1 to 65535)"},
        {{{"host", "b"}, {"port", "12ab"}}, "port: '12ab' is not a port number"},
        {{{"host", "b"}, {"prefix", "cars/#"}}, "prefix: 'cars/#' holds an MQTT wildcard"},
        {{{"host", "b"}, {"prefix", "$SYS/x"}}, "prefix: '$SYS/x' starts with '$', which the"},
        {{{"host", "b"}, {"discovery_prefix", "ha\x1b[2J"}}, "discovery_prefix: holds a control"},
        {{{"host", "b"}, {"unit", "van\x7f"}}, "unit: holds a control character"},
        {{{"host", "b"}, {"discovery_prefix", "ha//x"}}, "discovery_prefix: 'ha//x' has an empty"},
        {{{"host", "b"}, {"unit", "my van"}}, "unit: 'my van' must be 1 to 64 letters"},
        {{{"host", "b"}, {"discovery", "maybe"}}, "discovery: 'maybe' is neither on nor off"},
        {{{"host", "b"}, {"ca_file", "/nonexistent"}}, "ca_file: cannot read '/nonexistent'"},
        {{{"host", "b"}, {"ca_file", ca}, {"cert_file", ca}}, "key_file: a client certificate"},
        {{{"host", "b"}, {"cert_file", ca}, {"key_file", key}}, "ca_file: a client certificate"},
        {{{"host", "b"}, {"ca_file", ca}, {"cert_file", ca}, {"key_file", ca}},
         "key_file: '" + ca + "' is readable by other users; refusing it"},
        {{{"host", "b"}, {"password_file", "/nonexistent"}}, "password_file: cannot read"},
        {{{"host", "b"}, {"ca_file", ca}, {"discovery", "off"}}, ""},
    };
    QSettings empty(dir.file("vorn.conf"), QSettings::IniFormat);
    for (const auto& c : cases) {
        const LoadResult r = loadSettings(empty, c.given, "host");
        EXPECT_EQ(r.error.left(c.error.size()), c.error) << r.error.toStdString();
        EXPECT_EQ(r.settings.has_value(), c.error.isEmpty()) << c.error.toStdString();
    }
    const LoadResult off = loadSettings(empty, {}, "host");
    EXPECT_FALSE(off.settings);
    EXPECT_TRUE(off.error.isEmpty());
    // The unit is the host name made a topic level unless given.
    const LoadResult r = loadSettings(empty, {{"host", "b"}}, "pi.local");
    ASSERT_TRUE(r.settings);
    EXPECT_EQ(r.settings->unit, "pi_local");
    EXPECT_TRUE(
        QRegularExpression("^vorn-pi_local-[0-9a-f]{8}$").match(r.settings->clientId).hasMatch())
        << r.settings->clientId.toStdString();
    EXPECT_EQ(r.settings->prefix, "vorn");
}

TEST(Backoff, TheWaitDoublesUpToItsBoundAndStartsAgainOnlyAfterAConnectionLastedLongEnough) {
    using namespace std::chrono_literals;
    Backoff backoff({1000ms, 8000ms, 60s});
    Backoff::Clock::time_point now{};
    const struct {
        std::optional<std::chrono::seconds> connectedFor; // none: the try failed
        long waitMs;
    } steps[] = {{{}, 1000},  {{}, 2000},  {{}, 4000}, {{}, 8000},
                 {{}, 8000},  {59s, 8000}, // thrown off within the minute: no fresh start
                 {60s, 1000}, {{}, 2000}};
    for (const auto& step : steps) {
        if (step.connectedFor) {
            backoff.connected(now);
            now += *step.connectedFor;
        }
        EXPECT_EQ(backoff.next(now).count(), step.waitMs);
    }
}

TEST(WheelPayload, PressureInEveryUnitTemperatureAndStatusFollowTheScreen) {
    const struct {
        WheelReading reading;
        PressureUnit unit;
        QJsonValue pressure;
        QJsonValue temperature;
        const char* status;
    } cases[] = {
        {{0, 65, 65, 1, 0, {}}, PressureUnit::Psi, 32.5, 25, "normal"},
        {{0, 65, 30, 1 | 8, 0, {}}, PressureUnit::Bar, 2.24, -10, "normal"},
        {{0, 290, 65, 1 | 4, 0, {}}, PressureUnit::Kpa, 1000, 25, "high"},
        {{0, 65, 65, 1 | 2, 0, {31.7, -1.1, "slow_leak"}}, PressureUnit::KgCm, 2.27, 25, "low"},
        {{0, 511, 511, 0, 0, {}}, PressureUnit::Psi, QJsonValue(), QJsonValue(), "absent"},
        // A silent sensor keeps its last reading; its status says it is silent.
        {{0, 65, 65, 1, 0, {31.7, {}, "silent"}}, PressureUnit::Psi, 32.5, 25, "silent"},
    };
    for (const auto& c : cases) {
        const QJsonObject o =
            QJsonDocument::fromJson(wheelStatePayload(c.reading, c.unit, 0)).object();
        EXPECT_EQ(o["pressure"], c.pressure) << c.status;
        EXPECT_EQ(o["temperature_c"], c.temperature) << c.status;
        EXPECT_EQ(o["status"].toString(), c.status);
        EXPECT_EQ(o["hot"].toBool(), (c.reading.status & 8) != 0);
        EXPECT_EQ(o["last_report"].toString(), "1970-01-01T00:00:00Z");
        const WheelInsight& i = c.reading.insight;
        EXPECT_EQ(o["cold_pressure_psi"],
                  i.coldPressurePsi ? QJsonValue(*i.coldPressurePsi) : QJsonValue());
        EXPECT_EQ(o["leak_psi_per_day"],
                  i.leakPsiPerDay ? QJsonValue(*i.leakPsiPerDay) : QJsonValue());
        EXPECT_EQ(o["warning"], i.warning.isEmpty() ? QJsonValue() : QJsonValue(i.warning));
    }
}

TEST(WheelPublisher, AChangeGoesOutAtMostOnceASecondAndEveryMinuteRegardless) {
    Settings settings;
    settings.unit = "van";
    std::vector<Message> sent;
    WheelPublisher publisher(settings, [&](const Message& m) { sent.push_back(m); });
    TyreStateTable state;
    const auto statesAt = [&](qint64 ms, std::int32_t pressure, std::int32_t unit = 0) {
        sent.clear();
        state.TyrePressure[3] = pressure;
        publisher.refreshed(state, unit, ms);
        return std::count_if(sent.begin(), sent.end(),
                             [](const Message& m) { return m.topic == "vorn/van/wheel/3/state"; });
    };
    EXPECT_EQ(statesAt(0, 60), 0); // wheel 3 has not reported yet
    publisher.readingStored(3, 0);
    EXPECT_EQ(statesAt(100, 60), 1);
    EXPECT_EQ(statesAt(600, 61), 0); // changed, but within the second
    EXPECT_EQ(statesAt(1100, 61), 1);
    EXPECT_EQ(statesAt(30000, 61), 0);
    EXPECT_EQ(statesAt(61100, 61), 1);    // unchanged for a minute
    EXPECT_EQ(statesAt(62200, 61, 1), 1); // a new unit: the state again, no new discovery
    EXPECT_EQ(QJsonDocument::fromJson(sent.back().payload).object()["unit"].toString(), "bar");
    EXPECT_EQ(sent.size(), 1u);
}

TEST(WheelPublisher, DiscoveryAnnouncesTheVehiclesWheelsInPsiWhateverTheUnitAndForgetsThoseGone) {
    const struct {
        std::int32_t unit;
        int wheels, laterWheels;
        int reporting; // -1: none
        std::set<int> announced;
        std::set<int> keptFromBefore; // configs the broker holds from an earlier run
    } cases[] = {
        {0, 4, 4, -1, {0, 1, 2, 3}, {4, 5}}, // a six-wheel run before
        {1, 6, 6, -1, {0, 1, 2, 3, 4, 5}, {}},
        {2, 6, 4, -1, {0, 1, 2, 3}, {}},   // the count fell: wheels 4 and 5 removed
        {3, 4, 4, 5, {0, 1, 2, 3, 5}, {}}, // a wheel beyond the count that reports
        {0, 6, 4, 5, {0, 1, 2, 3, 5}, {}}, // stays when the count falls
    };
    const QString config = "homeassistant/sensor/vorn_van/wheel%1_pressure/config";
    const struct {
        QString topic, deviceClass, unit, value;
    } entities[] = {
        {"sensor/vorn_van/wheel0_pressure", "pressure", "psi", "value_json.pressure_psi"},
        {"binary_sensor/vorn_van/wheel0_battery_low", "battery", "", "value_json.battery_low"},
        {"sensor/vorn_van/wheel0_last_report", "timestamp", "", "value_json.last_report"},
        {"sensor/vorn_van/wheel0_cold_pressure", "pressure", "psi", "value_json.cold_pressure_psi"},
        {"sensor/vorn_van/wheel0_leak_rate", "", "psi/d", "value_json.leak_psi_per_day"},
        {"binary_sensor/vorn_van/wheel0_warning", "problem", "", "value_json.warning"},
    };
    for (const auto& c : cases) {
        std::map<QString, QByteArray> retained; // as the broker keeps them
        for (const int wheel : c.keptFromBefore)
            retained[config.arg(wheel)] = "{}";
        Settings settings;
        settings.unit = "van";
        WheelPublisher publisher(
            settings,
            [&](const Message& m) {
                if (m.payload.isEmpty())
                    retained.erase(m.topic);
                else
                    retained[m.topic] = m.payload;
            },
            c.wheels);
        TyreStateTable state;
        if (c.reporting >= 0)
            publisher.readingStored(c.reporting, 0);
        publisher.refreshed(state, c.unit, 0);
        publisher.setWheelCount(c.laterWheels);
        std::set<int> announced;
        for (int wheel = 0; wheel < kShownWheels; ++wheel)
            if (retained.count(config.arg(wheel)) != 0)
                announced.insert(wheel);
        EXPECT_EQ(announced, c.announced) << c.unit << " " << c.wheels << " " << c.laterWheels;
        for (const auto& e : entities) {
            const QJsonObject o =
                QJsonDocument::fromJson(retained["homeassistant/" + e.topic + "/config"]).object();
            EXPECT_EQ(o["device_class"].toString(), e.deviceClass) << e.topic.toStdString();
            EXPECT_EQ(o["unit_of_measurement"].toString(), e.unit) << e.topic.toStdString();
            EXPECT_TRUE(o["value_template"].toString().contains(e.value)) << c.unit;
        }
    }
}

} // namespace
} // namespace vorn::mqtt
