#pragma once

#include <QObject>
#include <array>

class QSocketNotifier;

namespace vorn {

// Running without a window: Qt's offscreen platform, chosen before the
// application object is made.
void useOffscreenPlatform();

// Ends the event loop on SIGINT, SIGTERM and SIGHUP (a logout), so the
// program closes as after Exit or closing the window (the history written,
// the broker hears "offline"); a second signal ends it at once. The
// handler only writes a byte to a socket pair; the event loop reads it. Does
// nothing when not `active`.
class QuitOnSignals : public QObject {
public:
    explicit QuitOnSignals(bool active);
    ~QuitOnSignals() override;
    QuitOnSignals(const QuitOnSignals&) = delete;
    QuitOnSignals& operator=(const QuitOnSignals&) = delete;

private:
    std::array<int, 2> pair_{-1, -1};
    QSocketNotifier* notifier_ = nullptr; // owned through its parent, this
};

} // namespace vorn
