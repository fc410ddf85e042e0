#pragma once

#include <QObject>
#include <QPointer>

namespace vorn {

class HistoryFeature;
class HistoryWindow;
class TFmain;

// What the history adds to the window: the "History…" and "Export
// readings…" entries of its menu, and each wheel's "last report" tooltip.
class HistoryViews : public QObject {
    Q_OBJECT
public:
    // Lives as long as `window`, its parent.
    HistoryViews(TFmain& window, HistoryFeature& history);

    HistoryWindow* showHistoryWindow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void exportRange(qint64 from, qint64 to, QWidget* parent);

    TFmain& window_;
    HistoryFeature& history_;
    QPointer<HistoryWindow> historyWindow_;
};

} // namespace vorn
