#include "app/HistoryViews.h"

#include "app/HistoryWiring.h"
#include "charts/ExportDialog.h"
#include "charts/HistoryWindow.h"
#include "display/ScreenLayout.h"
#include "window/TFmain.h"

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

HistoryViews::HistoryViews(TFmain& window, HistoryFeature& history)
    : QObject(&window), window_(window), history_(history) {
    window_.Image1->installEventFilter(this);
    window_.contextMenu().addAction(QStringLiteral("History…"), this,
                                    [this] { showHistoryWindow(); });
    window_.contextMenu().addAction(QStringLiteral("Export readings…"), this, [this] {
        if (!history_.writer())
            return;
        if (const auto range = askExportRange(&window_, history_.now()))
            exportRange(range->first, range->second, &window_);
    });
}

HistoryWindow* HistoryViews::showHistoryWindow() {
    if (!historyWindow_) {
        history::HistoryWriter* writer = history_.writer();
        const bool failed =
            !writer || writer->status().state == history::HistoryWriter::State::Failed;
        historyWindow_ = new HistoryWindow(
            HistorySource{
                .path = failed ? QString() : history_.config().path,
                .problem = [this] { return history_.problem(); },
                .settings = [this] { return window_.core().settings(); },
                .clock = history_.config().clock,
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
    if (history::HistoryWriter* writer = history_.writer())
        writer->flush(std::chrono::milliseconds{0});
    else
        return;
    exportReadings(parent, history_.config().path, from, to,
                   window_.core().settings().PressureUnitIndex);
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
