#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QThread>
#include <mutex>

namespace vorn::test {

// The StatusNotifierWatcher of a desktop's tray, with its host present, as
// a panel registers it on the session bus; it keeps the items that register.
class StatusNotifierWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
public:
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList items() const {
        const std::lock_guard lock(mutex_);
        return items_;
    }

public slots:
    // An item names its bus name, or only its object path on the caller's.
    void RegisterStatusNotifierItem(const QString& service, const QDBusMessage& message) {
        const std::lock_guard lock(mutex_);
        items_ << (service.startsWith(u'/') ? message.service() : service);
    }
    void RegisterStatusNotifierHost(const QString&) {}

private:
    mutable std::mutex mutex_; // guards items_, read from the test's thread
    QStringList items_;
};

// A tray on the session bus for Qt's D-Bus tray icon. The watcher answers on
// a thread of its own: Qt asks it in blocking calls from the GUI thread.
class TrayHost {
public:
    TrayHost() {
        thread_.start();
        watcher_.moveToThread(&thread_);
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, kName);
        registered_ = bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher_,
                                         QDBusConnection::ExportAllSlots |
                                             QDBusConnection::ExportAllProperties) &&
                      bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    }
    ~TrayHost() {
        QDBusConnection::disconnectFromBus(kName);
        thread_.quit();
        thread_.wait();
    }
    TrayHost(const TrayHost&) = delete;
    TrayHost& operator=(const TrayHost&) = delete;

    bool registered() const { return registered_; }
    // The bus names of the items shown, in the order they came.
    QStringList items() const { return watcher_.items(); }

private:
    static inline const QString kName = QStringLiteral("tray host");
    QThread thread_;
    StatusNotifierWatcher watcher_;
    bool registered_ = false;
};

} // namespace vorn::test
