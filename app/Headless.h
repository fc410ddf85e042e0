#pragma once

#include <QObject>
#include <array>

class QSocketNotifier;

namespace vorn {

struct ProgramOptions;

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

// The monitor without a window, on Qt Core alone: the link, the evaluation,
// the alarm tones, the history, publishing and notifications, until SIGINT
// or SIGTERM. The program `vornd`; returns its exit code.
int runHeadless(int argc, char** argv, const ProgramOptions& options);

// `vorn --headless`: runs `vornd` from the folder of the running program in
// its place, so no window library is even loaded; when there is none, runs
// the monitor here.
int startHeadless(int argc, char** argv, const ProgramOptions& options);

} // namespace vorn
