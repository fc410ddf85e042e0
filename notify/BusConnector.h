#pragma once

#include <QDBusConnection>
#include <QString>
#include <functional>
#include <memory>
#include <thread>

class QObject;

namespace vorn {

// Reaches a D-Bus bus without ever blocking the thread that asks.
//
// Qt's connect blocks until the bus has answered: for good on one that
// accepts and never answers (a stopped dbus-daemon). While it blocks, Qt's
// other D-Bus calls wait for it, and so do Qt's exit handlers. So the connect
// runs on a thread of its own and its result comes back queued; an attempt
// that never returns is left behind, and the process then has to end without
// Qt's exit handlers (stillConnecting() says so).
class BusConnector {
public:
    // `address` empty: the session bus, found as Qt finds it.
    explicit BusConnector(QString address = {});
    // Waits for a finished attempt's thread; leaves a stuck one behind.
    ~BusConnector();
    BusConnector(const BusConnector&) = delete;
    BusConnector& operator=(const BusConnector&) = delete;

    // Whether there is a bus to try: an address was given, or the session
    // bus can be found as libdbus finds it ($DBUS_SESSION_BUS_ADDRESS,
    // $XDG_RUNTIME_DIR/bus, or an X display to start one for).
    bool findable() const;
    // Starts the one attempt. `done` gets the connection (connected or not,
    // see lastError()) on `receiver`'s thread, unless forget() came first.
    void start(QObject& receiver, std::function<void(const QDBusConnection&)> done);
    // No result is delivered after this; for the receiver's destructor.
    void forget();
    // An attempt has started and not come back from Qt.
    bool stillConnecting() const;

private:
    struct Attempt;
    QString address_;
    std::shared_ptr<Attempt> attempt_;
    std::thread thread_;
};

} // namespace vorn
