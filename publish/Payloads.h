#pragma once

#include "protocol/PressureUnits.h"
#include "publish/MqttSettings.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace vorn::mqtt {

// One message for the broker. Retained messages are what a subscriber that
// comes later still receives.
struct Message {
    QString topic;
    QByteArray payload;
    bool retain = true;
    int qos = 0;
};

// What the tyre analysis says of a wheel; all empty without one.
struct WheelInsight {
    std::optional<double> coldPressurePsi;
    std::optional<double> leakPsiPerDay;
    QString warning; // "slow_leak", "rapid_loss" or "silent"; empty: none
    bool operator==(const WheelInsight&) const = default;
};

// What one wheel showed at the last refresh, straight from the tyre state
// table, with the analysis beside it.
struct WheelReading {
    int wheel = 0;
    std::int32_t pressure = 0;    // half-psi steps; 400 or more: none
    std::int32_t temperature = 0; // degrees Celsius plus 40; 199 or more: none
    std::int32_t status = 0;      // status bits as the evaluation left them
    std::int32_t battery = 0;
    WheelInsight insight;
    bool operator==(const WheelReading&) const = default;
};

// The topics under <prefix>/<unit>.
class Topics {
public:
    explicit Topics(const Settings& s) : base_(s.prefix + QLatin1Char('/') + s.unit) {}
    QString availability() const { return base_ + QStringLiteral("/availability"); }
    QString alarm() const { return base_ + QStringLiteral("/alarm"); }
    // Where Home Assistant's "Acknowledge alarm" button publishes.
    QString alarmSet() const { return base_ + QStringLiteral("/alarm/set"); }
    QString wheelState(int wheel) const {
        return base_ + QStringLiteral("/wheel/%1/state").arg(wheel);
    }

private:
    QString base_;
};

inline const QByteArray kOnline = QByteArrayLiteral("online");
inline const QByteArray kOffline = QByteArrayLiteral("offline");
inline const QByteArray kAcknowledge = QByteArrayLiteral("ACK");

// What a message on the alarm's set topic asks for. The broker's bytes are
// untrusted: only the exact payload ACK, sent now, acknowledges; one the
// broker kept from earlier (retained) would acknowledge every alarm that
// stands when we next connect. Nothing is copied, however large the payload.
enum class AlarmCommand { Acknowledge, NotUnderstood, Retained };
AlarmCommand alarmCommandOf(const void* payload, int length, bool retained);

// "absent", "normal", "low" or "high", from the status bits; see also
// wheelStatePayload, where a silent sensor reads "silent".
const char* statusName(std::int32_t status);

// The wheel's state as JSON; `lastReportMs` is milliseconds since the epoch.
// `pressure_psi` is what discovery reads; `pressure` and `unit` follow the
// settings panel for other consumers. `cold_pressure_psi`,
// `leak_psi_per_day` and `warning` come from the analysis (null without).
QByteArray wheelStatePayload(const WheelReading& r, PressureUnit unit, qint64 lastReportMs);

// {"state":"ON","wheel":n} while the alarm is raised, {"state":"OFF","wheel":null} after.
QByteArray alarmPayload(bool raised, int wheel);

// Home Assistant discovery of one wheel: its pressure (always in psi; Home
// Assistant converts to each user's unit), temperature, low battery, problem,
// last report, cold pressure, leak rate and warning, then the empty config
// that retires the battery sensor of earlier versions.
std::vector<Message> wheelDiscovery(const Settings& s, int wheel);
// The same topics, each with an empty retained config: Home Assistant then
// forgets the wheel.
std::vector<Message> wheelRemoval(const Settings& s, int wheel);
Message alarmDiscovery(const Settings& s);
// The "Acknowledge alarm" button: it publishes ACK to the alarm's set topic.
Message acknowledgeDiscovery(const Settings& s);

} // namespace vorn::mqtt
