#include "monitor/MonitorCore.h"

#include "link/DeviceChangeWatcher.h"
#include "link/SerialPortName.h"

#include <QCoreApplication>
#include <QDir>
#include <algorithm>
#include <exception>
#include <limits>

namespace vorn {

namespace {

constexpr int kUsbChoice = 4;
// How long before the display tick the serial poll comes in each period.
constexpr std::chrono::milliseconds kPollLead{3};
// A read ends within 100 ms, so a loop asked to pause has parked by then.
constexpr std::chrono::milliseconds kParkWait{150};
// Ticks without a frequency report after which calibration is given up.
constexpr std::int32_t CalibrationTimeoutTicks = 30;

// Precise, so the serial poll and the display tick keep their phase.
QTimer* makeTimer(QObject* parent) {
    auto* timer = new QTimer(parent);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(100);
    return timer;
}

} // namespace

MonitorCore::MonitorCore(MonitorServices services, QObject* parent)
    : MonitorModel(parent), services_(std::move(services)),
      settingsPath_(
          QDir(services_.workDir).absoluteFilePath(QString::fromLatin1(kSettingsFileName))) {
    Q_ASSERT(services_.messages && services_.tones && services_.hid);

    // 1. The timers count from here on, and their handlers cope with running
    //    before construction has finished (a message box below runs them).
    startTimers();
    // 2. Device-change broadcasts.
    watcher_ = new DeviceChangeWatcher(this);
    connect(watcher_, &DeviceChangeWatcher::deviceChanged, this, [this] { deviceChanged(); });
    if (!watcher_->isActive())
        services_.messages->note(QStringLiteral(
            "vorn: no udev monitor could be made: plugging and unplugging will not be noticed"));
    // 3. Settings; a missing or bad file throws before anything is shown.
    LoadSettings();
    loadWheels();
    // 4. The serial link, when a COM port is chosen.
    OpenSerialLink();
    // 5. Unit captions and the units the display uses.
    TakeUnits();
    // 7. Normal mode.
    state_.MonitorMode = static_cast<std::int32_t>(MonitorModeValue::Normal);

    FormCreate();
}

MonitorCore::~MonitorCore() {
    // The receive loop ends before anything it reads through goes away.
    if (UsbThread)
        UsbThread->stop();
}

// The serial poll runs just before the display tick of each period, so a
// report is evaluated in the period it arrives in rather than one later. The
// display tick and the USB monitor count from construction; the poll takes
// its phase from the first display tick the running event loop delivers,
// since construction may hold the first ticks up (and a late tick starts its
// period anew).
void MonitorCore::startTimers() {
    Timer1 = makeTimer(this);
    Timer2 = makeTimer(this);
    Timer3 = makeTimer(this);
    connect(Timer1, &QTimer::timeout, this, [this] { guarded(&MonitorCore::Timer1Timer); });
    connect(Timer2, &QTimer::timeout, this, [this] { guarded(&MonitorCore::Timer2Timer); });
    connect(Timer3, &QTimer::timeout, this, [this] { guarded(&MonitorCore::Timer3Timer); });
    Timer1->start();
    Timer3->start();
    // What the port took in after the last poll is read at the end, so the
    // last readings reach the history.
    connect(qApp, &QCoreApplication::aboutToQuit, this,
            [this] { guarded(&MonitorCore::Timer2Timer); });
    connect(
        Timer1, &QTimer::timeout, Timer2,
        [this] {
            const auto lead = std::chrono::milliseconds(Timer1->remainingTime()) - kPollLead;
            QTimer::singleShot(std::max(lead, std::chrono::milliseconds{0}), Timer2, [this] {
                Timer2->start();
                guarded(&MonitorCore::Timer2Timer);
            });
        },
        Qt::SingleShotConnection);
}

void MonitorCore::guarded(void (MonitorCore::*handler)()) noexcept {
    try {
        (this->*handler)();
    } catch (const std::exception& e) {
        services_.messages->show(QString::fromUtf8(e.what()), kExceptionCaption);
    } catch (...) {
        services_.messages->show(QStringLiteral("Unknown error"), kExceptionCaption);
    }
}

void MonitorCore::LoadSettings() {
    settingsText_ = loadSettingsFile(settingsPath_);
    record_ = readSettingsRecord(settingsText_, settingsPath_);
    settings_.LowPressureSet = record_.LowPressureSet;
    settings_.HighPressureSet = record_.HighPressureSet;
    settings_.HighTempSet = record_.HighTempSet;
}

void MonitorCore::TakeUnits() {
    settings_.PressureUnitIndex = record_.PressureUnit;
    settings_.TemperatureUnitIndex = record_.TemperatureUnit;
    panels_.pressureCaption = pressureUnitCaption(record_.PressureUnit);
    panels_.temperatureCaption = temperatureUnitCaption(record_.TemperatureUnit);
}

void MonitorCore::OpenSerialLink() {
    const int choice = record_.Port;
    if (choice == kUsbChoice)
        return;
    connect(&serial_, &SerialSession::lost, this, &MonitorCore::SerialLost);
    connect(&serial_, &SerialSession::reopened, this, [this](const QString& line) {
        services_.messages->note(line);
        emit linksChanged();
    });
    const SerialOpenResult result = serial_.open(comPortName(choice));
    if (result.opened())
        return;
    const QString why = serialFailureLine(serial_.portName(), serial_.location(), result);
    services_.messages->note(why);
    // The unit's own wording first (it names com1 whatever port was chosen), then why.
    if (result.fault == SerialFault::SettingsRefused) {
        services_.messages->show(QStringLiteral("com1(RS232) set error\n") + why,
                                 QStringLiteral("Set Error"));
    } else {
        services_.messages->show(QStringLiteral("open com(RS232) error\n") + why,
                                 QStringLiteral("Comm Error"));
    }
}

// The device went away: no box, since a unit may come and go many times.
void MonitorCore::SerialLost(const QString& line) {
    services_.messages->note(line);
    emit linksChanged();
    setLinkText(UsbConnected ? "USB CONNECTED" : "");
}

void MonitorCore::setLinkText(std::string_view text) {
    panels_.linkText = text;
    emit linkChanged();
}

QString MonitorCore::linkDescription() const {
    QStringList links;
    if (serial_.isOpen())
        links << QStringLiteral("serial port %1").arg(serial_.portName());
    if (UsbConnected)
        links << QStringLiteral("USB");
    return links.isEmpty() ? QStringLiteral("none") : links.join(QStringLiteral(" and "));
}

void MonitorCore::FormCreate() {
    UsbThread = std::make_unique<rxusbth>([this](UsbInReport& r) { return usb_.UsbReadReport(r); });
    connect(UsbThread.get(), &rxusbth::reportReceived, this, &MonitorCore::UsbReceive,
            Qt::QueuedConnection);
}

void MonitorCore::deviceChanged() {
    usbMonitor_.deviceChanged();
    serial_.deviceChanged();
    UsbDetach();
}

void MonitorCore::UsbAttach() {
    if (!UsbConnected)
        UsbThread->resume();
    const bool changed = !UsbConnected;
    UsbConnected = true;
    if (changed)
        emit linksChanged();
}

void MonitorCore::UsbDetach() {
    if (UsbConnected && UsbThread)
        UsbThread->pause();
    const bool changed = UsbConnected;
    UsbConnected = false;
    usb_.DiscardPendingWrites(); // nothing goes to USB while it is not connected
    if (changed)
        emit linksChanged();
}

void MonitorCore::UsbReceive(const QByteArray& report) {
    parser_.parseUsbReport({reinterpret_cast<const std::uint8_t*>(report.constData()),
                            static_cast<std::size_t>(report.size())});
}

void MonitorCore::Timer1Timer() {
    alarm_.Blink();
    state_.AgeTestMode();
    AdvanceCalibrationWatch();
    RefreshDisplay();
    for (const StandingAlarm::Raise& r : standing_.settle(state_.AlarmActive == 1))
        emit alarmWasRaised(r.wheel, r.status);
    emit refreshed();
}

// Each wheel's alarm sees the status bits computed for it in the same pass.
void MonitorCore::RefreshDisplay() {
    for (int wheel = 0; wheel < kShownWheels; ++wheel) {
        wheels_.EvaluatePressure(wheel);
        wheels_.EvaluateTemperature(wheel);
        alarm_.StatusEvaluated(wheel);
    }
    alarm_.EndWhenClear();
}

// The unit's calibration start and each frequency report set the ticks back
// to 0; three seconds without either end the calibration in error.
void MonitorCore::AdvanceCalibrationWatch() {
    if (state_.CalibrationRunning == 0)
        return;
    if (state_.CalibrationTicks < std::numeric_limits<std::int32_t>::max())
        ++state_.CalibrationTicks;
    if (state_.CalibrationTicks < CalibrationTimeoutTicks)
        return;
    state_.CalibrationRunning = 0;
    setCalibrationCaption("Error");
    setCalibrationColour(PanelColour::Red);
}

void MonitorCore::Timer2Timer() {
    const QByteArray bytes = serial_.poll();
    if (bytes.isEmpty())
        return;
    if (panels_.linkText != "RS232 CONNECTED")
        setLinkText("RS232 CONNECTED");
    parser_.feedSerial({reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                        static_cast<std::size_t>(bytes.size())});
}

void MonitorCore::Timer3Timer() {
    // Ticks that come while a message box holds up construction do nothing.
    if (!UsbThread || !usbMonitor_.tick())
        return;
    // The search replaces the read handle, so the loop must be sitting still;
    // it normally has long since parked. If not, try again on the next tick.
    if (!UsbThread->waitUntilParked(kParkWait)) {
        usbMonitor_.UsbRescanPending = true;
        return;
    }
    if (usb_.FindUsbDevice()) {
        UsbAttach();
        setLinkText("USB CONNECTED");
    } else {
        UsbDetach();
        setLinkText("");
    }
}

} // namespace vorn
