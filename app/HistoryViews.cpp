#include "app/HistoryViews.h"

#include "app/HistoryWiring.h"
#include "charts/ExportDialog.h"
#include "charts/HistoryWindow.h"
#include "display/ScreenLayout.h"
#include "monitor/MonitorClient.h"
#include "window/TFmain.h"

#include <QDateTime>
#include <QHelpEvent>
#include <QToolTip>

namespace vorn {

using history::TimeMs;

namespace {

// The screen area of a wheel's six digits: its pressure row and its
// temperature row below.
QRect digitArea(int wheel) {
    const QPoint first =
        layout::CellOrigins[static_cast<std::size_t>(layout::CellNumber(wheel, 0, 0))];
    return {first.x(), first.y(), layout::CellsPerRow * layout::DigitPitch,
            2 * layout::TemperatureRowOffset};
}

} // namespace

HistoryAccess accessTo(HistoryFeature& history) {
    return {
        .path =
            [&history] {
                history::HistoryWriter* writer = history.writer();
                const bool failed =
                    !writer || writer->status().state == history::HistoryWriter::State::Failed;
                return failed ? QString() : history.config().path;
            },
        .problem = [&history] { return history.problem(); },
        .now = [&history] { return history.now(); },
        .lastReportText = [&history](int wheel) { return history.lastReportText(wheel); },
        .flush =
            [&history] {
                if (history::HistoryWriter* writer = history.writer())
                    writer->flush(std::chrono::milliseconds{0});
            },
    };
}

HistoryAccess accessToOwners(const MonitorClient& owner) {
    const QString path = owner.historyFile();
    return {
        .path = [path] { return path; },
        .problem =
            [path] {
                return path.isEmpty()
                           ? QStringLiteral("the VORN that owns the unit keeps no history")
                           : QString();
            },
        .now = [] { return QDateTime::currentMSecsSinceEpoch(); },
        .lastReportText =
            [owner = QPointer<const MonitorClient>(&owner)](int wheel) {
                if (!owner || wheel < 0 || wheel >= kShownWheels)
                    return QString();
                const QString& warning = owner->warnings()[static_cast<std::size_t>(wheel)];
                return lastReportLine(wheel, owner->lastReport(wheel),
                                      QDateTime::currentMSecsSinceEpoch()) +
                       (warning.isEmpty() ? QString() : QStringLiteral("\n") + warning);
            },
        .flush = [] {},
    };
}

HistoryViews::HistoryViews(TFmain& window, HistoryAccess history)
    : QObject(&window), window_(window), history_(std::move(history)) {
    if (history_.lastReportText)
        window_.Image1->installEventFilter(this);
    window_.contextMenu().addAction(QStringLiteral("History…"), this,
                                    [this] { showHistoryWindow(); });
    window_.contextMenu().addAction(QStringLiteral("Export readings…"), this, [this] {
        if (history_.path().isEmpty())
            return;
        if (const auto range = askExportRange(&window_, history_.now()))
            exportRange(range->first, range->second, &window_);
    });
}

HistoryWindow* HistoryViews::showHistoryWindow() {
    if (!historyWindow_) {
        historyWindow_ = new HistoryWindow(
            HistorySource{
                .path = history_.path(),
                .problem = history_.problem,
                .settings = [this] { return window_.core().settings(); },
                .clock = history_.now,
                .exportRange = [this](TimeMs from, TimeMs to,
                                      QWidget* parent) { exportRange(from, to, parent); },
            },
            &window_);
    }
    historyWindow_->show();
    historyWindow_->raise();
    return historyWindow_;
}

// What is queued is written first, so the file holds the latest readings.
void HistoryViews::exportRange(qint64 from, qint64 to, QWidget* parent) {
    const QString path = history_.path();
    if (path.isEmpty())
        return;
    history_.flush();
    exportReadings(parent, path, from, to, window_.core().settings().PressureUnitIndex);
}

bool HistoryViews::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_.Image1 || event->type() != QEvent::ToolTip)
        return false;
    const auto* help = static_cast<QHelpEvent*>(event);
    for (int wheel = 0; wheel < layout::Wheels; ++wheel) {
        if (digitArea(wheel).contains(help->pos())) {
            QToolTip::showText(help->globalPos(), history_.lastReportText(wheel), window_.Image1,
                               digitArea(wheel));
            return true;
        }
    }
    QToolTip::hideText();
    event->ignore();
    return true;
}

} // namespace vorn
