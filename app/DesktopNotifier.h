#pragma once

#include "protocol/MonitorSettings.h"
#include "protocol/TyreStateTable.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <array>
#include <cstdint>

class QDBusPendingCallWatcher;

namespace vorn {

class MonitorCore;
struct ProgramOptions;

// One wheel's part of the alarm notification, its reading in the unit the
// screen uses: "wheel 2: low pressure, 20.0 psi".
QString alarmLine(int wheel, std::int32_t status, const TyreStateTable& state,
                  const MonitorSettings& settings);

// Tells the desktop's notification service (freedesktop, on the session bus)
// about the tyre alarm, for people who keep the window out of sight: one
// critical notification while an alarm stands, updated in place as wheels
// join it, withdrawn when the alarm is acknowledged or clears. Every call is
// asynchronous; without a bus or a service nothing happens.
class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    // Lives as long as `core`, its parent.
    DesktopNotifier(MonitorCore& core, QDBusConnection bus);
    ~DesktopNotifier() override;

private:
    void raised(int wheel, std::int32_t status);
    void ended();
    void send();
    void closeNotification(quint32 id);
    void replied(QDBusPendingCallWatcher* watcher, quint64 alarm);
    // Said once on standard error; later alarms still try.
    void sayOnce(const QString& reason);

    MonitorCore& core_;
    QDBusConnection bus_;
    std::array<QString, kWheelSlots> lines_{}; // the standing alarm's wheels
    quint64 alarm_ = 0;                        // counts the alarms, so a late reply finds its own
    bool standing_ = false;                    // an alarm is on
    quint32 id_ = 0;       // the service's number of the standing alarm's notification
    bool waiting_ = false; // its Notify has not been answered yet
    bool stale_ = false;   // a wheel joined meanwhile: send again once answered
    quint32 closedId_ = 0; // what the last end of an alarm closed
    bool toldFailure_ = false;
};

// Gives `core` a notifier on the session bus unless --no-notify was given.
void attachDesktopNotifier(MonitorCore& core, const ProgramOptions& options);

} // namespace vorn
