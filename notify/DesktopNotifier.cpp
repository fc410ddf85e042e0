#include "notify/DesktopNotifier.h"

#include "insight/LiveInsight.h"
#include "monitor/MonitorCore.h"
#include "monitor/ReadingText.h"
#include "notify/NoticeService.h"

#include <QTimer>
#include <chrono>
#include <cstdio>
#include <vector>

namespace vorn {

namespace {

constexpr std::uint8_t kUrgencyNormal = 1;
constexpr std::uint8_t kUrgencyCritical = 2;
// A bus that has not answered by then is said to be silent; it may still come.
constexpr std::chrono::seconds kConnectLimit{10};
// A standing notice follows its readings no more often, so a wheel that
// flickers between two values does not flood the desktop.
constexpr qint64 kFollowEveryMs = 10'000;
constexpr std::int32_t kAlarmBits =
    status::LowPressure | status::HighPressure | status::HighTemperature;

qint64 steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QString withReading(const QString& what, const QString& reading) {
    return reading.isEmpty() ? what : what + QStringLiteral(", ") + reading;
}

} // namespace

QString alarmLine(int wheel, std::int32_t status, const TyreStateTable& state,
                  const MonitorSettings& settings) {
    if (wheel < 0 || wheel >= kWheelSlots)
        return {};
    const auto w = static_cast<std::size_t>(wheel);
    const QString pressure = pressureText(state.TyrePressure[w], settings.PressureUnitIndex);
    QStringList parts;
    if (status & status::LowPressure)
        parts << withReading(QStringLiteral("low pressure"), pressure);
    if (status & status::HighPressure)
        parts << withReading(QStringLiteral("high pressure"), pressure);
    if (status & status::HighTemperature)
        parts << withReading(QStringLiteral("high temperature"),
                             temperatureText(state.TyreTemperature[w],
                                             TemperatureUnitOf(settings.TemperatureUnitIndex)));
    if (parts.isEmpty())
        parts << QStringLiteral("alarm");
    return QStringLiteral("wheel %1: %2").arg(wheel).arg(parts.join(QStringLiteral("; ")));
}

DesktopNotifier::DesktopNotifier(MonitorCore& core, NoticeService& service,
                                 std::function<qint64()> clock)
    : QObject(&core), core_(core), service_(service), clock_(clock ? std::move(clock) : steadyMs) {
    connect(&core, &MonitorCore::alarmWasRaised, this, &DesktopNotifier::raised);
    connect(&core, &MonitorCore::refreshed, this, &DesktopNotifier::follow);
    connect(&core, &MonitorCore::alarmWasEnded, this, [this] { ended(); });
}

// The bus is reached when there is first something to show: a monitor
// whose tyres stay good never starts D-Bus. Without a session bus to find (a
// server, a service outside a login) it is not even tried.
void DesktopNotifier::reachBus() {
    if (started_)
        return;
    started_ = true;
    if (!service_.findable()) {
        noBus_ = QStringLiteral("no D-Bus session bus");
        return;
    }
    service_.start(*this, [this](const QString& error) { reached(error); });
    QTimer::singleShot(kConnectLimit, this, [this] {
        if (reached_ || !noBus_.isEmpty())
            return;
        noBus_ = QStringLiteral("the D-Bus session bus has not answered in %1 s")
                     .arg(kConnectLimit.count());
        tellWhyNot();
    });
}

DesktopNotifier::~DesktopNotifier() {
    service_.forget();
    // A critical notification would outlive the program otherwise.
    if (standing_ && id_ != 0)
        closeNotification(id_);
    for (const auto& [key, notice] : warnings_)
        if (notice.id != 0)
            closeNotification(notice.id);
}

void DesktopNotifier::reached(const QString& error) {
    if (!error.isEmpty()) {
        noBus_ = error;
        tellWhyNot();
        return;
    }
    reached_ = true;
    if (standing_) // raised before the bus was there
        send();
    for (const auto& [key, notice] : warnings_)
        if (!notice.waiting && notice.id == 0)
            sendWarning(key);
}

void DesktopNotifier::followInsight(insight::LiveInsight& insight) {
    connect(&insight, &insight::LiveInsight::warningChanged, this,
            [this](int wheel, insight::Warning warning, bool begun, const QString& text, double) {
                warningChanged(wheel * 4 + static_cast<int>(warning), begun, text);
            });
}

void DesktopNotifier::setEnabled(bool on) {
    enabled_ = on;
    if (on)
        return;
    ended();
    std::vector<int> shown;
    for (const auto& [key, notice] : warnings_)
        shown.push_back(key);
    for (const int key : shown)
        warningChanged(key, false, {});
}

void DesktopNotifier::warningChanged(int key, bool begun, const QString& text) {
    if (begun && !enabled_)
        return;
    if (begun) {
        reachBus();
        WarningNotice& notice = warnings_[key];
        if (notice.waiting || notice.id != 0) {
            notice.ended = false; // shown, or about to be: it stands again
            return;
        }
        notice.text = text;
        notice.ended = false;
        if (reached_)
            sendWarning(key);
        return;
    }
    const auto it = warnings_.find(key);
    if (it == warnings_.end())
        return;
    if (it->second.waiting) {
        it->second.ended = true; // closed once the service answers
        return;
    }
    if (it->second.id != 0)
        closeNotification(it->second.id);
    warnings_.erase(it);
}

void DesktopNotifier::sendWarning(int key) {
    if (!service_.connected()) {
        sayOnce(QStringLiteral("the D-Bus session has ended"));
        return;
    }
    WarningNotice& notice = warnings_[key];
    // It stays while the warning does; its end withdraws it.
    service_.notify({0, QStringLiteral("Tyre warning"), notice.text, kUrgencyNormal}, *this,
                    [this, key](std::optional<quint32> id, const QString& error) {
                        warningReplied(key, id, error);
                    });
    notice.waiting = true;
}

void DesktopNotifier::warningReplied(int key, std::optional<quint32> id, const QString& error) {
    const auto it = warnings_.find(key);
    if (it == warnings_.end())
        return;
    if (!id) {
        sayOnce(error);
        warnings_.erase(it);
        return;
    }
    if (it->second.ended) {
        closeNotification(*id);
        warnings_.erase(it);
        return;
    }
    it->second.id = *id;
    it->second.waiting = false;
}

void DesktopNotifier::raised(int wheel, std::int32_t status) {
    if (!enabled_ || wheel < 0 || wheel >= kWheelSlots)
        return;
    reachBus();
    if (!standing_) {
        standing_ = true;
        ++alarm_;
        id_ = 0;
        lines_.fill({});
    }
    lines_[static_cast<std::size_t>(wheel)] =
        alarmLine(wheel, status, core_.state(), core_.settings());
    if (!reached_)
        tellWhyNot(); // sent once the bus comes, if it does
    else if (waiting_)
        stale_ = true; // its number is not known yet; replacing needs it
    else
        send();
}

// The shown values of the standing alarm's wheels, as the screen shows them
// now; a wheel back within limits keeps what it said.
void DesktopNotifier::follow() {
    if (!standing_ || !reached_ || waiting_)
        return;
    const TyreStateTable& state = core_.state();
    for (int wheel = 0; wheel < kWheelSlots; ++wheel) {
        QString& line = lines_[static_cast<std::size_t>(wheel)];
        const std::int32_t status = state.TyreStatus[static_cast<std::size_t>(wheel)];
        if (line.isEmpty() || (status & kAlarmBits) == 0)
            continue;
        const QString now = alarmLine(wheel, status, state, core_.settings());
        unsent_ = unsent_ || now != line;
        line = now;
    }
    if (unsent_ && clock_() - sentAt_ >= kFollowEveryMs)
        send();
}

void DesktopNotifier::ended() {
    if (!standing_)
        return;
    standing_ = false;
    // One still unanswered is closed by its reply, unless that only repeats
    // the number closed here.
    closedId_ = id_;
    if (id_ != 0)
        closeNotification(id_);
    id_ = 0;
    waiting_ = false;
    stale_ = false;
}

void DesktopNotifier::send() {
    if (!service_.connected()) {
        sayOnce(QStringLiteral("the D-Bus session has ended"));
        return;
    }
    QStringList body;
    for (const QString& line : lines_)
        if (!line.isEmpty())
            body << line;
    // It stays until the alarm ends, which withdraws it.
    service_.notify({id_, QStringLiteral("Tyre alarm"), body.join(u'\n'), kUrgencyCritical}, *this,
                    [this, alarm = alarm_](std::optional<quint32> id, const QString& error) {
                        replied(alarm, id, error);
                    });
    waiting_ = true;
    sentAt_ = clock_();
    unsent_ = false;
}

void DesktopNotifier::replied(quint64 alarm, std::optional<quint32> id, const QString& error) {
    const bool current = standing_ && alarm == alarm_;
    if (!id) {
        sayOnce(error);
        if (current)
            waiting_ = stale_ = false;
        return;
    }
    if (!current) { // the alarm ended before the service answered
        if (*id != closedId_)
            closeNotification(*id);
        return;
    }
    id_ = *id;
    waiting_ = false;
    if (stale_) {
        stale_ = false;
        send();
    }
}

void DesktopNotifier::closeNotification(quint32 id) {
    if (reached_)
        service_.close(id);
}

void DesktopNotifier::tellWhyNot() {
    if (standing_ && !noBus_.isEmpty())
        sayOnce(noBus_);
}

void DesktopNotifier::sayOnce(const QString& reason) {
    if (toldFailure_)
        return;
    toldFailure_ = true;
    std::fprintf(stderr, "vorn: no desktop notification: %s\n", qUtf8Printable(reason));
}

} // namespace vorn
