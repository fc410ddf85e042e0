#pragma once

#include "history/HistoryWriter.h"

#include <QObject>
#include <QPointer>
#include <functional>

namespace vorn {

class HistoryFeature;
class HistoryWindow;
class MonitorClient;
class TFmain;

// Where the window finds the history: the one this process keeps, or the
// file of the VORN that owns the unit, read while that one writes it.
struct HistoryAccess {
    std::function<QString()> path;    // empty: no history to show
    std::function<QString()> problem; // why there is none, in words
    std::function<history::TimeMs()> now;
    std::function<QString(int)> lastReportText; // a wheel's tooltip; none when unset
    std::function<void()> flush;                // writes what waits, before an export
};
HistoryAccess accessTo(HistoryFeature& history);
// The owner's file, named in its hello; read only, so the latest half
// minute it still holds back is not in it yet. The tooltips tell the reports
// `owner` has seen.
HistoryAccess accessToOwners(const MonitorClient& owner);

// What the history adds to the window: the "History…" and "Export
// readings…" entries of its menu, and each wheel's "last report" tooltip.
class HistoryViews : public QObject {
    Q_OBJECT
public:
    // Lives as long as `window`, its parent.
    HistoryViews(TFmain& window, HistoryAccess history);

    HistoryWindow* showHistoryWindow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void exportRange(qint64 from, qint64 to, QWidget* parent);

    TFmain& window_;
    HistoryAccess history_;
    QPointer<HistoryWindow> historyWindow_;
};

} // namespace vorn
