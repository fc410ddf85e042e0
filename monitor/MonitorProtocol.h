#pragma once

#include "monitor/MonitorPanels.h"
#include "monitor/SettingsFile.h"
#include "protocol/MonitorEffects.h"
#include "protocol/TyreStateTable.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <array>
#include <optional>

// The owner's socket speaks newline-delimited JSON objects, each with a
// "type": what the owner sends (hello, the state by sections, events) and
// what a client may send (the window's commands, the alarm's
// acknowledgement, a settings save). Encoders give one line with its "\n".
namespace vorn::wire {

inline constexpr int kVersion = 1;

// `historyFile`: the history the owner keeps, empty when none.
// `lastReports`: when each wheel last reported (ms since the epoch), as far
// as the owner has heard since it started.
using LastReports = std::array<std::optional<qint64>, kShownWheels>;
// Each wheel's standing tyre warning, "" for none.
QByteArray warnings(const std::array<QString, kShownWheels>& texts);
QByteArray hello(const QString& folder, const QString& historyFile = {},
                 const LastReports& lastReports = {});
QByteArray table(const TyreStateTable& state, int blinkPhase);
QByteArray panels(const MonitorPanels& panels);
QByteArray links(bool serial, bool usb, const QString& description);
QByteArray settings(const SettingsRecord& record, int wheels);
// The eight settings as the `settings` message and a client's save carry them.
QJsonObject recordObject(const SettingsRecord& record);
QByteArray reading(int wheel, ReportLink link);
QByteArray alarmRaised(int wheel, std::int32_t status);
QByteArray alarmEnded(AlarmEnd how);
QByteArray mode(MonitorModeValue mode);
QByteArray tone(int hz, int ms);
QByteArray error(const QString& message);

QString colourName(PanelColour colour);
std::optional<PanelColour> colourFromName(const QString& name);

// One message of a client, checked: every number is in the range the
// window's own control could give.
struct ClientMessage {
    enum class Kind {
        Learn,
        Test,
        Wheel,
        AutoTx,
        Brand, // the brand panel's click: acknowledges an alarm or ends the mode
        Acknowledge,
        FrequencySet,
        FrequencyStep,
        RadioSettings,
        Calibrate,
        Factory,
        SaveSettings,
        Wheels,
        PlayTones,         // the client plays the tones from now on; nothing reaches the unit
        ReloadPreferences, // vorn.conf changed: the owner rebuilds its outputs
    };
    Kind kind = Kind::Learn;
    int number = 0; // the wheel, or the vehicle's wheels
    QString text;   // the frequency text as typed
    int stepIndex = 0;
    bool up = false;
    int rateIndex = 0;
    int autotxIndex = 0;
    SettingsRecord record;
};

// A message, or the text of the error line to answer with.
struct ParsedLine {
    std::optional<ClientMessage> message;
    QString error;
};
ParsedLine parseClientLine(QByteArrayView line);

} // namespace vorn::wire
