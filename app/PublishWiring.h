#pragma once

#include "app/CommandLine.h"

#include <QObject>
#include <QSettings>
#include <functional>
#include <memory>

namespace vorn {

class MonitorCore;
namespace insight {
class LiveInsight;
}

// Publishes the monitor's wheels and alarm to the MQTT broker named in the
// [mqtt] section of `userSettings` or on the command line. Nothing when no
// broker is named; a setting that cannot be used is said on standard error
// and the program runs on without publishing. Home Assistant's "Acknowledge
// alarm" acknowledges the window's alarm. The returned object owns the
// connection: destroying it says "offline" and disconnects.
std::unique_ptr<QObject> startPublishing(MonitorCore& core, const ProgramOptions& options,
                                         QSettings& userSettings);

// Each wheel's state then carries what `insight` says of it; `publishing`
// is what startPublishing returned.
void publishInsight(QObject& publishing, insight::LiveInsight& insight);

// Says "offline" and disconnects without waiting; `done` runs on this thread
// once that is over (bounded), and `publishing` may then go at no cost.
void closePublishing(QObject& publishing, const std::function<void()>& done);

} // namespace vorn
