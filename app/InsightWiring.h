#pragma once

#include "app/CommandLine.h"

#include <QObject>
#include <QSettings>

namespace vorn {

class MonitorCore;
class MonitorModel;
namespace insight {
class LiveInsight;
}

// Feeds the monitor's stored readings to the tyre analysis, as [insight] in
// `userSettings` asks, and hands its warnings to the outputs already made
// for `core`: the history (its events and tooltips), the desktop
// notifications and `publishing` (from startPublishing; may be null). The
// analysis warms up from the history file on a thread of its own. Nothing
// when [insight] enabled is off. Owned by `core`.
insight::LiveInsight* installInsight(MonitorCore& core, QSettings& userSettings,
                                     QObject* publishing);
// Keeps `model`'s warnings those of `live`, in words, for the tray, the
// tooltips and the windows attached to the owner; a silence's length as of
// the latest refresh.
void showWarnings(MonitorModel& model, insight::LiveInsight& live);

} // namespace vorn
