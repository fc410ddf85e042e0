#include "app/HistoryWiring.h"

#include "app/HandedOver.h"
#include "app/HistoryCommand.h"
#include "app/HistoryWindow.h"
#include "app/TFmain.h"
#include "display/ScreenLayout.h"
#include "history/CsvExport.h"

#include <QDateTime>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QInputDialog>
#include <QMessageBox>
#include <QThreadPool>
#include <QToolTip>
#include <cstdio>

namespace vorn {

using history::Event;
using history::EventKind;
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

QString agoText(TimeMs ms) {
    const TimeMs s = std::max<TimeMs>(0, ms / 1000);
    if (s < 60)
        return QStringLiteral("%1 s ago").arg(s);
    if (s < 3600)
        return QStringLiteral("%1 min ago").arg(s / 60);
    if (s < 86400)
        return QStringLiteral("%1 h ago").arg(s / 3600);
    return QStringLiteral("%1 days ago").arg(s / 86400);
}

} // namespace

HistoryFeature::HistoryFeature(TFmain& window, HistoryConfig config)
    : QObject(&window), window_(window), config_(std::move(config)) {
    if (!config_.path.isEmpty()) {
        history::WriterConfig writer;
        writer.path = config_.path;
        writer.retention = config_.retention;
        writer.clock = config_.clock;
        writer_ = std::make_unique<history::HistoryWriter>(std::move(writer));
        record(EventKind::ProgramStarted);
    }
    connectWindow();
    window_.Image1->installEventFilter(this);
    window_.contextMenu().addAction(QStringLiteral("History…"), this,
                                    [this] { showHistoryWindow(); });
    window_.contextMenu().addAction(QStringLiteral("Export readings…"), this,
                                    [this] { exportReadings(); });
}

HistoryFeature::~HistoryFeature() {
    record(EventKind::ProgramEnded);
}

TimeMs HistoryFeature::now() const {
    return config_.clock ? config_.clock() : QDateTime::currentMSecsSinceEpoch();
}

void HistoryFeature::connectWindow() {
    connect(&window_, &TFmain::readingStored, this, &HistoryFeature::storeReading);
    connect(&window_, &TFmain::alarmWasRaised, this, [this](int wheel, std::int32_t status) {
        record(EventKind::AlarmRaised, wheel, status);
    });
    connect(&window_, &TFmain::alarmWasEnded, this,
            [this](AlarmEnd how) { record(EventKind::AlarmEnded, -1, static_cast<int>(how)); });
    connect(&window_, &TFmain::modeWasEntered, this, [this](MonitorModeValue mode) {
        record(EventKind::ModeEntered, -1, static_cast<int>(mode));
    });
    connect(&window_, &TFmain::refreshed, this, &HistoryFeature::watchLinks);
}

void HistoryFeature::record(EventKind kind, int wheel, int detail) {
    if (writer_)
        writer_->addEvent(Event{now(), kind, wheel, detail});
}

void HistoryFeature::storeReading(int wheel, ReportLink link) {
    if (wheel < 0 || wheel >= kWheelSlots)
        return;
    const TimeMs time = now();
    if (wheel < static_cast<int>(lastReport_.size()))
        lastReport_[static_cast<std::size_t>(wheel)] = time;
    if (!writer_)
        return;
    const TyreStateTable& s = window_.state();
    const auto w = static_cast<std::size_t>(wheel);
    writer_->addReading({time, wheel, s.TyrePressure[w], s.TyreTemperature[w], s.TyreBattery[w],
                         (s.TyreStatus[w] & status::SensorFlag) != 0, link});
}

// Links come and go inside the window's own handlers; a look after every
// refresh catches each change within 100 ms without touching them.
void HistoryFeature::watchLinks() {
    const auto check = [this](bool up, bool& was, ReportLink link) {
        if (up != was)
            record(up ? EventKind::LinkFound : EventKind::LinkLost, -1, static_cast<int>(link));
        was = up;
    };
    check(window_.serialOpen(), serialUp_, ReportLink::Serial);
    check(window_.usbConnected(), usbUp_, ReportLink::Usb);
}

QString HistoryFeature::problem() const {
    if (!writer_)
        return QStringLiteral("history is turned off (--no-history)");
    const history::HistoryWriter::Status status = writer_->status();
    QString text;
    if (status.state == history::HistoryWriter::State::Failed)
        text = QStringLiteral("history is not kept: %1").arg(status.reason);
    else if (status.state == history::HistoryWriter::State::ReadOnly ||
             status.state == history::HistoryWriter::State::Waiting)
        text = status.reason;
    if (status.dropped > 0)
        text +=
            QStringLiteral(" %1 rows were dropped while the disk fell behind.").arg(status.dropped);
    return text.trimmed();
}

HistoryWindow* HistoryFeature::showHistoryWindow() {
    if (!historyWindow_) {
        const bool failed =
            !writer_ || writer_->status().state == history::HistoryWriter::State::Failed;
        historyWindow_ = new HistoryWindow(
            HistorySource{
                .path = failed ? QString() : config_.path,
                .problem = [this] { return problem(); },
                .settings = [this] { return window_.settings(); },
                .clock = config_.clock,
                .exportRange = [this](TimeMs from, TimeMs to,
                                      QWidget* parent) { exportRange(from, to, parent); },
            },
            &window_);
    }
    historyWindow_->show();
    historyWindow_->raise();
    return historyWindow_;
}

void HistoryFeature::exportReadings() {
    if (!writer_)
        return;
    const QStringList ranges{QStringLiteral("1 hour"), QStringLiteral("24 hours"),
                             QStringLiteral("7 days"), QStringLiteral("30 days"),
                             QStringLiteral("All")};
    bool ok = false;
    const QString choice =
        QInputDialog::getItem(&window_, QStringLiteral("Export readings"),
                              QStringLiteral("Readings of the last:"), ranges, 1, false, &ok);
    if (!ok)
        return;
    constexpr std::array<TimeMs, 4> spans{3'600'000, 86'400'000, 7 * 86'400'000LL,
                                          30 * 86'400'000LL};
    const auto index = static_cast<std::size_t>(ranges.indexOf(choice));
    const TimeMs to = now();
    exportRange(index < spans.size() ? to - spans[index] : 0, to, &window_);
}

void HistoryFeature::exportRange(TimeMs from, TimeMs to, QWidget* parent) {
    const QString out = QFileDialog::getSaveFileName(parent, QStringLiteral("Export readings"),
                                                     QStringLiteral("vorn-readings.csv"),
                                                     QStringLiteral("CSV files (*.csv)"));
    if (out.isEmpty() || !writer_)
        return;
    writer_->flush(std::chrono::milliseconds{0}); // ask for the queue to be written now
    // The file is read and written on a pool thread; the answer comes back here.
    QThreadPool::globalInstance()->start(handedOver([path = config_.path, out, from, to,
                                                     unit = window_.settings().PressureUnitIndex,
                                                     parent = QPointer<QWidget>(parent)] {
        const history::ExportResult result = history::exportCsv(path, out, from, to, unit);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), handedOver([parent, result] {
                const QString text =
                    result.ok ? QStringLiteral("%1 written.").arg(result.counts()) : result.error;
                if (parent && QGuiApplication::platformName() != QLatin1String("offscreen"))
                    QMessageBox::information(parent, QStringLiteral("Export readings"), text);
                else
                    std::fprintf(stderr, "vorn: %s\n", qUtf8Printable(text));
            }),
            Qt::QueuedConnection);
    }));
}

QString HistoryFeature::lastReportText(int wheel) const {
    if (wheel < 0 || wheel >= static_cast<int>(lastReport_.size()))
        return {};
    std::optional<TimeMs> last = lastReport_[static_cast<std::size_t>(wheel)];
    if (!last && writer_) {
        const auto stored = writer_->storedLastReadings();
        if (const auto it = stored.find(wheel); it != stored.end())
            last = it->second;
    }
    if (!last)
        return QStringLiteral("Wheel %1: never reported").arg(wheel);
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(*last);
    const bool today = time.date() == QDateTime::fromMSecsSinceEpoch(now()).date();
    return QStringLiteral("Wheel %1: last report %2, %3")
        .arg(wheel)
        .arg(time.toString(today ? QStringLiteral("HH:mm:ss")
                                 : QStringLiteral("yyyy-MM-dd HH:mm:ss")))
        .arg(agoText(now() - *last));
}

bool HistoryFeature::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_.Image1 || event->type() != QEvent::ToolTip)
        return false;
    const auto* help = static_cast<QHelpEvent*>(event);
    for (int wheel = 0; wheel < layout::Wheels; ++wheel) {
        if (digitArea(wheel).contains(help->pos())) {
            QToolTip::showText(help->globalPos(), lastReportText(wheel), window_.Image1,
                               digitArea(wheel));
            return true;
        }
    }
    QToolTip::hideText();
    event->ignore();
    return true;
}

HistoryFeature* installHistory(TFmain& window, const ProgramOptions& options) {
    return new HistoryFeature(window, {historyPathFor(options), historyRetentionFor(options), {}});
}

} // namespace vorn
