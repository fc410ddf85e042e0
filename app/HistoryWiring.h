#pragma once

#include "app/CommandLine.h"
#include "history/HistoryWriter.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>

namespace vorn {

class TFmain;
class HistoryWindow;

struct HistoryConfig {
    QString path; // empty: history is off
    history::Retention retention;
    std::function<history::TimeMs()> clock; // wall clock when empty
};

// Keeps the window's readings and events in the history file, and offers
// the history window, the export and the "last report" tooltip. The GUI
// thread only hands records to the writer's queue.
class HistoryFeature : public QObject {
    Q_OBJECT
public:
    HistoryFeature(TFmain& window, HistoryConfig config);
    ~HistoryFeature() override; // records the program's end, writes what is queued

    history::HistoryWriter* writer() { return writer_.get(); }
    // Why there is no history, in words; empty when it works.
    QString problem() const;
    HistoryWindow* showHistoryWindow();
    // "last report 14:32:05, 3 min ago" or "never reported", for wheel 0 to 5.
    QString lastReportText(int wheel) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void connectWindow();
    void record(history::EventKind kind, int wheel = -1, int detail = 0);
    void storeReading(int wheel, ReportLink link);
    void watchLinks();
    void exportReadings();
    void exportRange(history::TimeMs from, history::TimeMs to, QWidget* parent);
    history::TimeMs now() const;

    TFmain& window_;
    HistoryConfig config_;
    std::unique_ptr<history::HistoryWriter> writer_;
    std::array<std::optional<history::TimeMs>, 6> lastReport_{};
    bool serialUp_ = false;
    bool usbUp_ = false;
    QPointer<HistoryWindow> historyWindow_;
};

// Sets up the history for the program's window from its command line.
HistoryFeature* installHistory(TFmain& window, const ProgramOptions& options);

} // namespace vorn
