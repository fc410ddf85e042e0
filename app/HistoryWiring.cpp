#include "app/HistoryWiring.h"

#include "app/HistoryCommand.h"
#include "insight/LiveInsight.h"
#include "monitor/MonitorCore.h"

#include <QDateTime>

namespace vorn {

using history::Event;
using history::EventKind;
using history::TimeMs;

namespace {

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

HistoryFeature::HistoryFeature(MonitorCore& core, HistoryConfig config)
    : QObject(&core), core_(core), config_(std::move(config)) {
    open();
    connectCore();
}

HistoryFeature::~HistoryFeature() {
    record(EventKind::ProgramEnded);
    writer_.reset();
    for (std::thread& t : closing_)
        t.join();
}

void HistoryFeature::open() {
    if (config_.path.isEmpty())
        return;
    history::WriterConfig writer;
    writer.path = config_.path;
    writer.retention = config_.retention;
    writer.clock = config_.clock;
    writer_ = std::make_unique<history::HistoryWriter>(std::move(writer));
    record(EventKind::ProgramStarted);
}

void HistoryFeature::reopen(HistoryConfig config) {
    const history::Retention& was = config_.retention;
    if (config.path == config_.path) {
        // The same file: the program goes on, only what it keeps changes.
        if ((config.retention.days != was.days || config.retention.rawDays != was.rawDays) &&
            writer_)
            writer_->setRetention(config.retention);
        config_.retention = config.retention;
        return;
    }
    record(EventKind::ProgramEnded);
    if (writer_)
        closing_.emplace_back([old = std::move(writer_)]() mutable { old.reset(); });
    config.clock = config_.clock;
    config_ = std::move(config);
    open();
}

TimeMs HistoryFeature::now() const {
    return config_.clock ? config_.clock() : QDateTime::currentMSecsSinceEpoch();
}

void HistoryFeature::connectCore() {
    connect(&core_, &MonitorCore::readingStored, this, &HistoryFeature::storeReading);
    connect(&core_, &MonitorCore::alarmWasRaised, this, [this](int wheel, std::int32_t status) {
        record(EventKind::AlarmRaised, wheel, status);
    });
    connect(&core_, &MonitorCore::alarmWasEnded, this,
            [this](AlarmEnd how) { record(EventKind::AlarmEnded, -1, static_cast<int>(how)); });
    connect(&core_, &MonitorCore::modeWasEntered, this, [this](MonitorModeValue mode) {
        record(EventKind::ModeEntered, -1, static_cast<int>(mode));
    });
    connect(&core_, &MonitorCore::refreshed, this, &HistoryFeature::watchLinks);
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
    const TyreStateTable& s = core_.state();
    const auto w = static_cast<std::size_t>(wheel);
    writer_->addReading({time, wheel, s.TyrePressure[w], s.TyreTemperature[w], s.TyreBattery[w],
                         (s.TyreStatus[w] & status::SensorFlag) != 0, link});
}

// Links come and go inside the monitor's own handlers; a look after every
// refresh catches each change within 100 ms without touching them.
void HistoryFeature::watchLinks() {
    const auto check = [this](bool up, bool& was, ReportLink link) {
        if (up != was)
            record(up ? EventKind::LinkFound : EventKind::LinkLost, -1, static_cast<int>(link));
        was = up;
    };
    check(core_.serialOpen(), serialUp_, ReportLink::Serial);
    check(core_.usbConnected(), usbUp_, ReportLink::Usb);
}

void HistoryFeature::followInsight(insight::LiveInsight& insight) {
    connect(&insight, &insight::LiveInsight::warningChanged, this,
            [this](int wheel, insight::Warning warning, bool begun, const QString&, double rate) {
                record(begun ? EventKind::WarningBegun : EventKind::WarningEnded, wheel,
                       history::warningDetail(static_cast<int>(warning), rate));
            });
}

QString HistoryFeature::problem() const {
    if (!writer_)
        return QStringLiteral("history is turned off (Preferences or --no-history)");
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

QString HistoryFeature::lastReportText(int wheel) const {
    if (wheel < 0 || wheel >= static_cast<int>(lastReport_.size()))
        return {};
    std::optional<TimeMs> last = lastReport_[static_cast<std::size_t>(wheel)];
    if (!last && writer_) {
        const auto stored = writer_->storedLastReadings();
        if (const auto it = stored.find(wheel); it != stored.end())
            last = it->second;
    }
    const QString warning = core_.warnings()[static_cast<std::size_t>(wheel)];
    return lastReportLine(wheel, last, now()) +
           (warning.isEmpty() ? QString() : QStringLiteral("\n") + warning);
}

QString lastReportLine(int wheel, std::optional<TimeMs> last, TimeMs now) {
    if (!last)
        return QStringLiteral("Wheel %1: never reported").arg(wheel);
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(*last);
    const bool today = time.date() == QDateTime::fromMSecsSinceEpoch(now).date();
    return QStringLiteral("Wheel %1: last report %2, %3")
        .arg(wheel)
        .arg(time.toString(today ? QStringLiteral("HH:mm:ss")
                                 : QStringLiteral("yyyy-MM-dd HH:mm:ss")))
        .arg(agoText(now - *last));
}

HistoryFeature* installHistory(MonitorCore& core, const ProgramOptions& options) {
    return new HistoryFeature(core, {historyPathFor(options), historyRetentionFor(options), {}});
}

} // namespace vorn
