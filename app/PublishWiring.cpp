#include "app/PublishWiring.h"

#include "insight/LiveInsight.h"
#include "monitor/MonitorCore.h"
#include "publish/MqttLink.h"
#include "publish/WheelPublisher.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSysInfo>
#include <cstdio>

namespace vorn {

namespace {

void say(const QString& text) {
    std::fprintf(stderr, "vorn: mqtt: %s\n", qUtf8Printable(text));
    std::fflush(stderr);
}

// The connection and what feeds it; the monitor's signals reach it only
// while it lives.
class Publishing : public QObject {
public:
    Publishing(MonitorCore& core, const mqtt::Settings& settings)
        : core_(core), link_(settings, this),
          wheels_(
              settings, [this](const mqtt::Message& m) { link_.publish(m); }, core.wheels()) {
        clock_.start();
        // Home Assistant is told of the vehicle's wheels, also when they change.
        connect(&core, &MonitorCore::wheelsChanged, this,
                [this, &core] { wheels_.setWheelCount(core.wheels()); });
        connect(&link_, &mqtt::MqttLink::connectionChanged, this,
                [](bool, const QString& text) { say(text); });
        connect(&core, &MonitorCore::readingStored, this, [this](int wheel, ReportLink) {
            wheels_.readingStored(wheel, QDateTime::currentMSecsSinceEpoch());
        });
        connect(&core, &MonitorCore::refreshed, this, [this, &core] {
            wheels_.refreshed(core.state(), core.settings().PressureUnitIndex, clock_.elapsed());
        });
        connect(&core, &MonitorCore::alarmWasRaised, this,
                [this](int wheel, std::int32_t) { wheels_.alarmRaised(wheel); });
        connect(&core, &MonitorCore::alarmWasEnded, this,
                [this](AlarmEnd) { wheels_.alarmEnded(); });
        // Home Assistant may acknowledge a standing alarm, and nothing else:
        // nobody on the broker may end the unit's mode.
        connect(&link_, &mqtt::MqttLink::acknowledgeRequested, &core,
                &MonitorCore::acknowledgeAlarm);
    }

    // Stops feeding the link and lets it say "offline" and go; `done` runs
    // once it has.
    void close(const std::function<void()>& done) {
        disconnect(&core_, nullptr, this, nullptr);
        connect(&link_, &mqtt::MqttLink::closed, this, done);
        link_.close();
    }

    void follow(insight::LiveInsight& insight) {
        connect(&insight, &insight::LiveInsight::glanceChanged, this, [this, &insight](int wheel) {
            const insight::WheelGlance& g = insight.glance(wheel);
            wheels_.setInsight(
                wheel,
                {g.coldPressurePsi, g.leakPsiPerDay,
                 g.warning ? QString::fromLatin1(insight::warningName(*g.warning)) : QString()});
        });
    }

private:
    MonitorCore& core_;
    mqtt::MqttLink link_;
    mqtt::WheelPublisher wheels_;
    QElapsedTimer clock_;
};

} // namespace

void publishInsight(QObject& publishing, insight::LiveInsight& insight) {
    static_cast<Publishing&>(publishing).follow(insight);
}

void closePublishing(QObject& publishing, const std::function<void()>& done) {
    static_cast<Publishing&>(publishing).close(done);
}

std::unique_ptr<QObject> startPublishing(MonitorCore& core, const ProgramOptions& options,
                                         QSettings& userSettings) {
    // A first start leaves the section in place, for the user to fill in.
    if (!QFileInfo::exists(userSettings.fileName()) &&
        !userSettings.contains(QStringLiteral("mqtt/host"))) {
        userSettings.setValue(QStringLiteral("mqtt/host"), QString());
        userSettings.sync();
    }
    const mqtt::LoadResult loaded =
        mqtt::loadSettings(userSettings, options.mqtt, QSysInfo::machineHostName());
    for (const QString& warning : loaded.warnings)
        say(QStringLiteral("warning: ") + warning);
    if (!loaded.error.isEmpty())
        say(loaded.error + QStringLiteral("; running without MQTT"));
    if (!loaded.settings)
        return nullptr;
    return std::make_unique<Publishing>(core, *loaded.settings);
}

} // namespace vorn
