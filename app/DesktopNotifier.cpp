#include "app/DesktopNotifier.h"

#include "app/CommandLine.h"
#include "monitor/MonitorCore.h"
#include "protocol/Readout.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <cstdio>

namespace vorn {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
constexpr std::uint8_t kUrgencyCritical = 2;

// The digits as the screen shows them, without the zeros that only fill its
// cells: "05.0" reads "5.0".
QString rowText(const RowGlyphs& row) {
    QString text = QString::fromStdString(RowText(row)).remove(u' ');
    while (text.size() > 1 && text[0] == u'0' && text[1].isDigit())
        text.remove(0, 1);
    return text;
}

QString pressureText(std::int32_t raw, std::int32_t unitIndex) {
    static const std::array<QString, 4> kUnits{QStringLiteral("psi"), QStringLiteral("bar"),
                                               QStringLiteral("kPa"), QStringLiteral("kg/cm²")};
    const std::optional<RowGlyphs> row = PressureGlyphs(raw, unitIndex);
    if (!row || unitIndex < 0 || unitIndex >= static_cast<std::int32_t>(kUnits.size()))
        return {};
    return rowText(*row) + u' ' + kUnits[static_cast<std::size_t>(unitIndex)];
}

QString temperatureText(std::int32_t raw) {
    const std::optional<RowGlyphs> row = TemperatureGlyphs(raw);
    return row ? rowText(*row) + QStringLiteral(" °C") : QString();
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
                             temperatureText(state.TyreTemperature[w]));
    if (parts.isEmpty())
        parts << QStringLiteral("alarm");
    return QStringLiteral("wheel %1: %2").arg(wheel).arg(parts.join(QStringLiteral("; ")));
}

DesktopNotifier::DesktopNotifier(MonitorCore& core, QDBusConnection bus)
    : QObject(&core), core_(core), bus_(std::move(bus)) {
    connect(&core, &MonitorCore::alarmWasRaised, this, &DesktopNotifier::raised);
    connect(&core, &MonitorCore::alarmWasEnded, this, [this] { ended(); });
}

DesktopNotifier::~DesktopNotifier() {
    // A critical notification would outlive the program otherwise.
    if (standing_ && id_ != 0)
        closeNotification(id_);
}

void DesktopNotifier::raised(int wheel, std::int32_t status) {
    if (wheel < 0 || wheel >= kWheelSlots)
        return;
    if (!standing_) {
        standing_ = true;
        ++alarm_;
        id_ = 0;
        lines_.fill({});
    }
    lines_[static_cast<std::size_t>(wheel)] =
        alarmLine(wheel, status, core_.state(), core_.settings());
    if (waiting_)
        stale_ = true; // its number is not known yet; replacing needs it
    else
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
    if (!bus_.isConnected()) {
        sayOnce(QStringLiteral("no D-Bus session"));
        return;
    }
    QStringList body;
    for (const QString& line : lines_)
        if (!line.isEmpty())
            body << line;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue(kUrgencyCritical)},
                            {QStringLiteral("desktop-entry"), QStringLiteral("vorn")}};
    // It stays until the alarm ends, which withdraws it.
    constexpr qint32 kNeverExpires = 0;
    call << QStringLiteral("VORN") << id_ << QStringLiteral("vorn") << QStringLiteral("Tyre alarm")
         << body.join(u'\n') << QStringList() << hints << kNeverExpires;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    waiting_ = true;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, alarm = alarm_](QDBusPendingCallWatcher* w) { replied(w, alarm); });
}

void DesktopNotifier::replied(QDBusPendingCallWatcher* watcher, quint64 alarm) {
    watcher->deleteLater();
    const QDBusPendingReply<quint32> reply = *watcher;
    const bool current = standing_ && alarm == alarm_;
    if (reply.isError()) {
        sayOnce(reply.error().message());
        if (current)
            waiting_ = stale_ = false;
        return;
    }
    if (!current) { // the alarm ended before the service answered
        if (reply.value() != closedId_)
            closeNotification(reply.value());
        return;
    }
    id_ = reply.value();
    waiting_ = false;
    if (stale_) {
        stale_ = false;
        send();
    }
}

void DesktopNotifier::closeNotification(quint32 id) {
    if (!bus_.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService,
                                                       QStringLiteral("CloseNotification"));
    call << id;
    bus_.send(call); // nothing to wait for
}

void DesktopNotifier::sayOnce(const QString& reason) {
    if (toldFailure_)
        return;
    toldFailure_ = true;
    std::fprintf(stderr, "vorn: no desktop notification: %s\n", qUtf8Printable(reason));
}

void attachDesktopNotifier(MonitorCore& core, const ProgramOptions& options) {
    if (options.notify)
        new DesktopNotifier(core, QDBusConnection::sessionBus()); // owned by the monitor
}

} // namespace vorn
