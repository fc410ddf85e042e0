#pragma once

#include "app/CommandLine.h"
#include "history/HistoryWriter.h"
#include "protocol/MonitorEffects.h"

#include <QObject>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace vorn {

class MonitorCore;
namespace insight {
class LiveInsight;
}

struct HistoryConfig {
    QString path; // empty: history is off
    history::Retention retention;
    std::function<history::TimeMs()> clock; // wall clock when empty
};

// Keeps the monitor's readings and events in the history file, with or
// without a window. This thread only hands records to the writer's queue.
class HistoryFeature : public QObject {
    Q_OBJECT
public:
    // Lives as long as `core`, its parent.
    HistoryFeature(MonitorCore& core, HistoryConfig config);
    ~HistoryFeature() override; // records the program's end, writes what is queued

    history::HistoryWriter* writer() { return writer_.get(); }
    const HistoryConfig& config() const { return config_; }
    // Goes on in `config`'s file with its retention when either changed:
    // the old file is told of the end and written out on a thread of its
    // own, so this never waits for the disk.
    void reopen(HistoryConfig config);
    // Why there is no history, in words; empty when it works.
    QString problem() const;
    // "last report 14:32:05, 3 min ago" or "never reported", for wheel 0 to
    // 5, with the wheel's standing tyre warning below.
    QString lastReportText(int wheel) const;
    history::TimeMs now() const;
    // Keeps the analysis' warnings as events.
    void followInsight(insight::LiveInsight& insight);

private:
    void connectCore();
    void record(history::EventKind kind, int wheel = -1, int detail = 0);
    void storeReading(int wheel, ReportLink link);
    void watchLinks();
    void open();

    MonitorCore& core_;
    HistoryConfig config_;
    std::unique_ptr<history::HistoryWriter> writer_;
    std::vector<std::thread> closing_; // each ends an old writer
    std::array<std::optional<history::TimeMs>, 6> lastReport_{};
    bool serialUp_ = false;
    bool usbUp_ = false;
};

// A wheel's tooltip: "Wheel 2: last report 14:32:05, 3 min ago" (with the
// date when not today), or "Wheel 2: never reported".
QString lastReportLine(int wheel, std::optional<history::TimeMs> last, history::TimeMs now);

// Sets up the history for the monitor from the command line.
HistoryFeature* installHistory(MonitorCore& core, const ProgramOptions& options);

} // namespace vorn
