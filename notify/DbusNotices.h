#pragma once

#include "notify/BusConnector.h"
#include "notify/NoticeService.h"

#include <QDBusConnection>
#include <optional>

namespace vorn {

// The freedesktop notification service on a D-Bus bus.
class DbusNotices final : public NoticeService {
public:
    // `address` empty: the session bus, found as Qt finds it.
    explicit DbusNotices(QString address = {}) : connector_(std::move(address)) {}

    bool findable() const override { return connector_.findable(); }
    void start(QObject& receiver, Reached reached) override;
    void forget() override { connector_.forget(); }
    bool stillConnecting() const override { return connector_.stillConnecting(); }
    bool connected() const override { return bus_ && bus_->isConnected(); }
    void notify(const Notice& notice, QObject& receiver, Answered answered) override;
    void close(quint32 id) override;

private:
    BusConnector connector_;
    std::optional<QDBusConnection> bus_; // once the connect has come back connected
};

} // namespace vorn
