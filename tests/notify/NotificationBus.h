#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QVariantMap>
#include <vector>

namespace vorn::test {

// A private dbus-daemon with this recording notification service on it.
class NotificationBus : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    NotificationBus() {
        daemon_.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address"});
        for (int tries = 0; !daemon_.canReadLine() && tries < 50; ++tries)
            daemon_.waitForReadyRead(100);
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        QDBusConnection service = QDBusConnection::connectToBus(address_, "service");
        registered = service.registerObject("/org/freedesktop/Notifications", this,
                                            QDBusConnection::ExportAllSlots) &&
                     service.registerService("org.freedesktop.Notifications");
    }
    ~NotificationBus() override {
        QDBusConnection::disconnectFromBus("service");
        daemon_.terminate();
        daemon_.waitForFinished();
    }
    QString address() const { return address_; }

    struct Notice {
        uint replacesId;
        QString summary, body;
        QVariantMap hints;
    };
    std::vector<Notice> notified;
    std::vector<uint> closed;
    bool registered = false;

public slots:
    uint Notify(const QString&, uint replacesId, const QString&, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap& hints, int) {
        notified.push_back({replacesId, summary, body, hints});
        return replacesId != 0 ? replacesId : ++lastId_;
    }
    void CloseNotification(uint id) { closed.push_back(id); }

private:
    uint lastId_ = 100;
    QProcess daemon_;
    QString address_;
};

} // namespace vorn::test
