#pragma once

#include "notify/NoticeService.h"

#include <memory>

namespace vorn {

// The desktop notification service for the service program. The module that
// speaks D-Bus is loaded when the bus is first needed, and only when there is
// a session bus to find, so a monitor that has nothing to show, or no desktop
// to show it on, never carries Qt D-Bus and libdbus. Without the module the
// notices say why.
class SessionNotices final : public NoticeService {
public:
    SessionNotices() = default;
    ~SessionNotices() override;
    SessionNotices(const SessionNotices&) = delete;
    SessionNotices& operator=(const SessionNotices&) = delete;

    bool findable() const override { return sessionBusFindable(); }
    void start(QObject& receiver, Reached reached) override;
    void forget() override;
    bool stillConnecting() const override;
    bool connected() const override;
    void notify(const Notice& notice, QObject& receiver, Answered answered) override;
    void close(quint32 id) override;

private:
    std::unique_ptr<NoticeService> loaded_; // made by the module, once loaded
};

} // namespace vorn
