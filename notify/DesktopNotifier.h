#pragma once

#include "protocol/MonitorSettings.h"
#include "protocol/TyreStateTable.h"

#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>

namespace vorn {

class MonitorCore;
class NoticeService;
namespace insight {
class LiveInsight;
}

// One wheel's part of the alarm notification, its reading in the units the
// screen uses: "wheel 2: low pressure, 20.0 psi", "high temperature, 176 °F".
QString alarmLine(int wheel, std::int32_t status, const TyreStateTable& state,
                  const MonitorSettings& settings);

// Tells the desktop's notification service (freedesktop, on the session bus)
// about the tyre alarm, for people who keep the window out of sight: one
// critical notification while an alarm stands, updated in place as wheels
// join it and, at most every 10 s, as their readings change, withdrawn when
// the alarm is acknowledged or clears. Nothing here
// waits for the bus: the connection is made off this thread when there is
// first something to show, every call is
// asynchronous with a time limit, and an alarm raised before the bus is
// reached is shown once it is. Without a bus or a service nothing happens.
class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    // Lives as long as `core`, its parent; `service` outlives it and is
    // started here. `clock`: milliseconds, a steady clock when empty.
    DesktopNotifier(MonitorCore& core, NoticeService& service, std::function<qint64()> clock = {});
    ~DesktopNotifier() override;
    // The service's number of the notice on show, once it has answered; 0 otherwise.
    quint32 shownId() const { return standing_ && !waiting_ ? id_ : 0; }

    // Each warning of the analysis that begins is one "Tyre warning" notice
    // of its own, closed when the warning ends.
    void followInsight(insight::LiveInsight& insight);
    // Off: what is shown is withdrawn and nothing new is shown until on again.
    void setEnabled(bool on);

private:
    void reachBus();
    void reached(const QString& error);
    void raised(int wheel, std::int32_t status);
    void follow(); // after each refresh
    void ended();
    void send();
    void closeNotification(quint32 id);
    void replied(quint64 alarm, std::optional<quint32> id, const QString& error);
    // Why no notification can be shown, said once on standard error; later
    // alarms still try.
    void sayOnce(const QString& reason);
    // Says why, once there is a standing alarm and a reason.
    void tellWhyNot();

    MonitorCore& core_;
    NoticeService& service_;
    bool started_ = false;                     // reachBus() has tried
    bool reached_ = false;                     // the service's bus is there
    QString noBus_;                            // why there is none yet, once known
    std::array<QString, kWheelSlots> lines_{}; // the standing alarm's wheels
    quint64 alarm_ = 0;                        // counts the alarms, so a late reply finds its own
    bool standing_ = false;                    // an alarm is on
    quint32 id_ = 0;       // the service's number of the standing alarm's notification
    bool waiting_ = false; // its Notify has not been answered yet
    bool stale_ = false;   // a wheel joined meanwhile: send again once answered
    quint32 closedId_ = 0; // what the last end of an alarm closed
    bool toldFailure_ = false;
    std::function<qint64()> clock_;
    qint64 sentAt_ = 0;
    bool unsent_ = false; // a reading changed since the last Notify
    bool enabled_ = true;

    // The warnings' notices, by wheel and kind.
    struct WarningNotice {
        QString text;
        quint32 id = 0;       // once the service has answered
        bool waiting = false; // its Notify is under way
        bool ended = false;   // close it once its number is known
    };
    void warningChanged(int key, bool begun, const QString& text);
    void sendWarning(int key);
    void warningReplied(int key, std::optional<quint32> id, const QString& error);
    std::map<int, WarningNotice> warnings_;
};

} // namespace vorn
