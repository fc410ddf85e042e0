#include "notify/DbusNotices.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace vorn {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
// A notification service that has not answered by then has failed this call.
constexpr int kReplyLimitMs = 10'000;

} // namespace

void DbusNotices::start(QObject& receiver, Reached reached) {
    connector_.start(receiver, [this, reached = std::move(reached)](const QDBusConnection& bus) {
        if (!bus.isConnected()) {
            const QString error = bus.lastError().message();
            reached(error.isEmpty() ? QStringLiteral("no D-Bus session") : error);
            return;
        }
        bus_ = bus;
        reached({});
    });
}

void DbusNotices::notify(const Notice& notice, QObject& receiver, Answered answered) {
    if (!bus_)
        return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue(notice.urgency)},
                            {QStringLiteral("desktop-entry"), QStringLiteral("vorn")}};
    constexpr qint32 kNeverExpires = 0; // it stays until it is closed
    call << QStringLiteral("VORN") << notice.replaces << QStringLiteral("vorn") << notice.summary
         << notice.body << QStringList() << hints << kNeverExpires;
    auto* watcher = new QDBusPendingCallWatcher(bus_->asyncCall(call, kReplyLimitMs), &receiver);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &receiver,
                     [answered = std::move(answered)](QDBusPendingCallWatcher* w) {
                         w->deleteLater();
                         const QDBusPendingReply<quint32> reply = *w;
                         if (reply.isError())
                             answered(std::nullopt, reply.error().message());
                         else
                             answered(reply.value(), {});
                     });
}

void DbusNotices::close(quint32 id) {
    if (!connected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService,
                                                       QStringLiteral("CloseNotification"));
    call << id;
    bus_->send(call); // nothing to wait for
}

} // namespace vorn
