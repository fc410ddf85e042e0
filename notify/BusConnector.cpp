#include "notify/BusConnector.h"

#include "notify/NoticeService.h"
#include "protocol/HandedOver.h"

#include <QMetaObject>
#include <QObject>
#include <QUuid>
#include <mutex>

namespace vorn {

// Shared by the connector and its thread, which may outlive it.
struct BusConnector::Attempt {
    using Done = std::function<void(const QDBusConnection&)>;

    // On the attempt's thread, when Qt has come back. The receiver outlives
    // the post (forget() takes the lock), and Qt drops what is still queued
    // for an object that is deleted.
    static void finish(const std::shared_ptr<Attempt>& self, const QDBusConnection& bus) {
        const std::scoped_lock lock(self->mutex);
        if (self->receiver)
            QMetaObject::invokeMethod(self->receiver,
                                      handedOver([self, bus] { self->deliver(bus); }),
                                      Qt::QueuedConnection);
    }

    // On the receiver's thread: forget() may have come since the post.
    void deliver(const QDBusConnection& bus) {
        Done wanted;
        {
            const std::scoped_lock lock(mutex);
            wanted = done;
        }
        if (wanted)
            wanted(bus);
    }

    mutable std::mutex mutex; // guards everything below
    QObject* receiver = nullptr;
    Done done;
    bool running = false;
};

BusConnector::BusConnector(QString address)
    : address_(std::move(address)), attempt_(std::make_shared<Attempt>()) {}

BusConnector::~BusConnector() {
    forget();
    if (!thread_.joinable())
        return;
    if (stillConnecting())
        thread_.detach(); // nothing can end Qt's wait for the bus
    else
        thread_.join(); // it has only its own clean-up left
}

bool BusConnector::findable() const {
    return !address_.isEmpty() || sessionBusFindable();
}

void BusConnector::start(QObject& receiver, std::function<void(const QDBusConnection&)> done) {
    if (thread_.joinable())
        return;
    {
        const std::scoped_lock lock(attempt_->mutex);
        attempt_->receiver = &receiver;
        attempt_->done = std::move(done);
        attempt_->running = true;
    }
    // Qt keeps connections by name for the whole process; each attempt has its own.
    const QString name = QStringLiteral("vorn-") + QUuid::createUuid().toString(QUuid::Id128);
    thread_ = std::thread([attempt = attempt_, address = address_, name] {
        Attempt::finish(attempt, address.isEmpty() ? QDBusConnection::connectToBus(
                                                         QDBusConnection::SessionBus, name)
                                                   : QDBusConnection::connectToBus(address, name));
        const std::scoped_lock lock(attempt->mutex);
        attempt->running = false;
    });
}

void BusConnector::forget() {
    const std::scoped_lock lock(attempt_->mutex);
    attempt_->receiver = nullptr;
    attempt_->done = nullptr;
}

bool BusConnector::stillConnecting() const {
    const std::scoped_lock lock(attempt_->mutex);
    return attempt_->running;
}

} // namespace vorn
