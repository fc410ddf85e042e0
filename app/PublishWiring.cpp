#include "app/PublishWiring.h"

#include "app/TFmain.h"
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

// The connection and what feeds it; the window's signals reach it only
// while it lives.
class Publishing : public QObject {
public:
    Publishing(TFmain& window, const mqtt::Settings& settings)
        : link_(settings, this),
          wheels_(settings, [this](const mqtt::Message& m) { link_.publish(m); }) {
        clock_.start();
        connect(&link_, &mqtt::MqttLink::connectionChanged, this,
                [](bool, const QString& text) { say(text); });
        connect(&window, &TFmain::readingStored, this, [this](int wheel, ReportLink) {
            wheels_.readingStored(wheel, QDateTime::currentMSecsSinceEpoch());
        });
        connect(&window, &TFmain::refreshed, this, [this, &window] {
            wheels_.refreshed(window.state(), window.settings().PressureUnitIndex,
                              clock_.elapsed());
        });
        connect(&window, &TFmain::alarmWasRaised, this,
                [this](int wheel, std::int32_t) { wheels_.alarmRaised(wheel); });
        connect(&window, &TFmain::alarmWasEnded, this, [this](AlarmEnd) { wheels_.alarmEnded(); });
        // Home Assistant's acknowledgement is a click on the brand panel, but
        // only while an alarm stands: without one the click tells the unit to
        // end its mode, which nobody on the broker may do.
        connect(&link_, &mqtt::MqttLink::acknowledgeRequested, &window, [&window] {
            if (window.state().AlarmActive != 0)
                window.Panel9Click();
        });
    }

private:
    mqtt::MqttLink link_;
    mqtt::WheelPublisher wheels_;
    QElapsedTimer clock_;
};

} // namespace

std::unique_ptr<QObject> startPublishing(TFmain& window, const ProgramOptions& options,
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
    return std::make_unique<Publishing>(window, *loaded.settings);
}

} // namespace vorn
