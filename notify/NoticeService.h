#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

class QObject;

namespace vorn {

// One notice for the desktop: it replaces the one numbered `replaces`
// (0: none) and stays until it is closed.
struct Notice {
    quint32 replaces = 0;
    QString summary;
    QString body;
    std::uint8_t urgency = 1; // 1 normal, 2 critical
};

// The desktop's notification service as the notifier sees it. Nothing here
// waits: the connection is made off the caller's thread and every answer
// comes back on the receiver's thread. The one that speaks D-Bus is loaded
// by the service program only when there is a session bus to speak to.
class NoticeService {
public:
    using Reached = std::function<void(const QString& error)>; // empty: reached
    // The notice's number, or nothing and why not.
    using Answered = std::function<void(std::optional<quint32> id, const QString& error)>;

    virtual ~NoticeService() = default;
    // Whether there is a bus to try at all.
    virtual bool findable() const = 0;
    // Starts the one attempt to reach the bus; `reached` follows unless
    // forget() comes first.
    virtual void start(QObject& receiver, Reached reached) = 0;
    virtual void forget() = 0;
    // An attempt has not come back; the process must then end without
    // Qt's exit handlers, which would wait for it.
    virtual bool stillConnecting() const = 0;
    // Reached, and still connected.
    virtual bool connected() const = 0;
    // Shows `notice`; `answered` gets its number, or why not, within a
    // bounded time.
    virtual void notify(const Notice& notice, QObject& receiver, Answered answered) = 0;
    virtual void close(quint32 id) = 0;
};

// Whether a session bus can be found as libdbus finds it:
// $DBUS_SESSION_BUS_ADDRESS, $XDG_RUNTIME_DIR/bus, or an X display to start
// one for.
bool sessionBusFindable();

// No notices: there is no bus, or nothing to reach it with (`reason`).
class UnavailableNotices final : public NoticeService {
public:
    UnavailableNotices(bool findable, QString reason)
        : findable_(findable), reason_(std::move(reason)) {}
    bool findable() const override { return findable_; }
    void start(QObject& receiver, Reached reached) override;
    void forget() override {}
    bool stillConnecting() const override { return false; }
    bool connected() const override { return false; }
    void notify(const Notice&, QObject&, Answered) override {}
    void close(quint32) override {}

private:
    bool findable_;
    QString reason_;
};

} // namespace vorn
