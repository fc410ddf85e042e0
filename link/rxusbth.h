#pragma once

#include "link/UsbHidDevice.h"

#include <QByteArray>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace vorn {

// The USB receive thread. Its loop reads one input report at a time through
// the receive function and hands each accepted one, a 17-byte copy, to the
// main thread through reportReceived (connect it with Qt::QueuedConnection;
// the reports are then parsed there, whole and in order). It is made not
// running; the first resume() starts it.
//
// The loop can be paused only between two reports: pause() asks for it and
// returns at once, waitUntilParked() waits until the loop sits still, so the
// read handle may then be replaced. pause, waitUntilParked, resume and stop
// belong to the thread that owns this object.
class rxusbth : public QThread {
    Q_OBJECT
public:
    // One read of at most about 100 ms; true when `out` holds a report.
    using ReceiveFunction = std::function<bool(UsbInReport& out)>;

    enum class State {
        NotStarted, // made, never resumed
        Running,
        Pausing,  // asked to pause; the report being read is still handed on
        Parked,   // sits still until resumed or stopped
        Stopping, // asked to stop
        Stopped,
    };

    // A failed receive that came back sooner than this (a handle that is gone)
    // is followed by a pause of kRetryDelay, so the loop never spins.
    static constexpr std::chrono::milliseconds kQuickFailure{20};
    static constexpr std::chrono::milliseconds kRetryDelay{40};
    static constexpr std::chrono::milliseconds kParkWaitLimit{500};

    explicit rxusbth(ReceiveFunction receive, QObject* parent = nullptr);
    // Stops and joins the loop.
    ~rxusbth() override;

    void pause();
    // True once the loop is parked (or is not running at all); false when it
    // did not get there within `limit`.
    bool waitUntilParked(std::chrono::milliseconds limit = kParkWaitLimit);
    // Starts the loop on first use, otherwise releases a pause.
    void resume();
    // Ends the loop from whatever state and joins it. Final.
    void stop();

    State state() const;

signals:
    void reportReceived(QByteArray report);

protected:
    void run() override;

private:
    // Waits while paused; false when the loop must end.
    bool checkpoint();
    void backOff();

    const ReceiveFunction receive_; // called on the receive thread only
    // Guards state_; changed tells the loop and waitUntilParked of changes.
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    State state_ = State::NotStarted;
};

} // namespace vorn
