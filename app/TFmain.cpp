#include "app/TFmain.h"

#include "link/SerialPortName.h"

#include <QCoreApplication>
#include <QDir>
#include <QScreen>
#include <QShowEvent>
#include <algorithm>
#include <exception>

namespace vorn {

namespace {

constexpr int kUsbChoice = 4;
// How long before the display tick the serial poll comes in each period.
constexpr std::chrono::milliseconds kPollLead{3};
// A read ends within 100 ms, so a loop asked to pause has parked by then.
constexpr std::chrono::milliseconds kParkWait{150};

} // namespace

TFmain::TFmain(TFmainServices services, QWidget* parent)
    : QWidget(parent), services_(std::move(services)),
      settingsPath_(
          QDir(services_.workDir).absoluteFilePath(QString::fromLatin1(kSettingsFileName))) {
    Q_ASSERT(services_.messages);
    setWindowTitle(QStringLiteral("VORN"));

    // 1. Controls with their design texts; the timers count from here on, and
    //    their handlers cope with running before construction has finished.
    createControls();
    connectHandlers();
    createContextMenu();
    setToolTips();
    startTimers();
    // 2. Device-change broadcasts reach FormWndProc after Qt has seen them.
    watcher_ = new DeviceChangeWatcher(this);
    connect(watcher_, &DeviceChangeWatcher::deviceChanged, this,
            [this] { FormWndProc(kDeviceChangeMessage); });
    if (!watcher_->isActive())
        services_.messages->note(QStringLiteral(
            "vorn: no udev monitor could be made: plugging and unplugging will not be noticed"));
    // 3. Settings; a missing or bad file throws and the window is never shown.
    LoadSettings();
    // 4. The serial link, when a COM port is chosen.
    OpenSerialLink();
    // 5. Unit captions and the units the display uses.
    TakeUnits();
    // 6. Geometry, in the view the user chose last time.
    SetGeometry();
    loadView();
    // 7. Normal mode.
    state_.MonitorMode = static_cast<std::int32_t>(MonitorModeValue::Normal);
    SyncModeTag();
    // 8. Qt widgets paint through a back buffer already.

    FormCreate();
}

TFmain::~TFmain() {
    // The receive loop ends before anything it reads through goes away.
    if (UsbThread)
        UsbThread->stop();
}

void TFmain::connectHandlers() {
    bind(Timer1, &QTimer::timeout, &TFmain::Timer1Timer);
    bind(Timer2, &QTimer::timeout, &TFmain::Timer2Timer);
    bind(Timer3, &QTimer::timeout, &TFmain::Timer3Timer);
    bind(BitBtn1, &QPushButton::clicked, &TFmain::BitBtn1Click);
    bind(BitBtn2, &QPushButton::clicked, &TFmain::BitBtn2Click);
    bind(BitBtn3, &QPushButton::clicked, &TFmain::BitBtn3Click);
    bind(BitBtn4, &QPushButton::clicked, &TFmain::BitBtn4Click);
    bind(BitBtn5, &QPushButton::clicked, &TFmain::BitBtn5Click);
    bind(BitBtn6, &QPushButton::clicked, &TFmain::BitBtn6Click);
    bind(BitBtn7, &QPushButton::clicked, &TFmain::BitBtn7Click);
    bind(Button1, &QPushButton::clicked, &TFmain::Button1Click);
    bind(Button2, &QPushButton::clicked, &TFmain::Button2Click);
    bind(Button3, &QPushButton::clicked, &TFmain::Button3Click);
    bind(Button4, &QPushButton::clicked, &TFmain::Button4Click);
    bind(Button5, &QPushButton::clicked, &TFmain::Button5Click);
    bind(Panel9, &Panel::clicked, &TFmain::Panel9Click);
    bind(Button8, &QPushButton::clicked, &TFmain::Button8Click);
    bind(Button6, &QPushButton::clicked, &TFmain::Button6Click);
    bind(Button7, &QPushButton::clicked, &TFmain::Button7Click);
    bind(Button10, &QPushButton::clicked, &TFmain::Button10Click);
    bind(Button11, &QPushButton::clicked, &TFmain::Button11Click);
    bind(Button9, &QPushButton::clicked, &TFmain::Button9Click);
    bind(Panel1, &Panel::clicked, &TFmain::Panel1Click);
    bind(Panel3, &Panel::clicked, &TFmain::Panel3Click);
    bind(Panel5, &Panel::clicked, &TFmain::Panel5Click);
    bind(Panel7, &Panel::clicked, &TFmain::Panel7Click);
    bind(Panel12, &Panel::clicked, &TFmain::Panel12Click);
    bind(Panel14, &Panel::clicked, &TFmain::Panel14Click);
}

// The serial poll runs just before the display tick of each period, so a
// report is drawn in the period it arrives in rather than one later. The
// display tick and the USB monitor count from construction; the poll takes
// its phase from the first display tick the running event loop delivers,
// since construction may hold the first ticks up (and a late tick starts its
// period anew).
void TFmain::startTimers() {
    Timer1->start();
    Timer3->start();
    // What the port took in after the last poll is read at the end, so the
    // last readings reach the history.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { guarded(&TFmain::Timer2Timer); });
    connect(
        Timer1, &QTimer::timeout, Timer2,
        [this] {
            const auto lead = std::chrono::milliseconds(Timer1->remainingTime()) - kPollLead;
            QTimer::singleShot(std::max(lead, std::chrono::milliseconds{0}), Timer2, [this] {
                Timer2->start();
                guarded(&TFmain::Timer2Timer);
            });
        },
        Qt::SingleShotConnection);
}

void TFmain::guarded(void (TFmain::*handler)()) noexcept {
    try {
        (this->*handler)();
    } catch (const std::exception& e) {
        services_.messages->show(QString::fromUtf8(e.what()), kExceptionCaption);
    } catch (...) {
        services_.messages->show(QStringLiteral("Unknown error"), kExceptionCaption);
    }
}

void TFmain::OpenSerialLink() {
    const int choice = RadioGroup3->itemIndex();
    if (choice == kUsbChoice)
        return;
    connect(&serial_, &SerialSession::lost, this, &TFmain::SerialLost);
    connect(&serial_, &SerialSession::reopened, this,
            [this](const QString& line) { services_.messages->note(line); });
    const SerialOpenResult result = serial_.open(comPortName(choice));
    if (result.opened())
        return;
    services_.messages->note(serialFailureLine(serial_.portName(), serial_.location(), result));
    if (result.fault == SerialFault::SettingsRefused) {
        // The unit's own wording: it names com1 whatever port was chosen.
        services_.messages->show(QStringLiteral("com1(RS232) set error"),
                                 QStringLiteral("Set Error"));
    } else {
        services_.messages->show(QStringLiteral("open com(RS232) error"),
                                 QStringLiteral("Comm Error"));
    }
}

// The device went away: no box, since a unit may come and go many times.
void TFmain::SerialLost(const QString& line) {
    services_.messages->note(line);
    Panel11->setCaption(UsbConnected ? QStringLiteral("USB CONNECTED") : QString());
}

void TFmain::FormCreate() {
    UsbThread = std::make_unique<rxusbth>([this](UsbInReport& r) { return usb_.UsbReadReport(r); });
    connect(UsbThread.get(), &rxusbth::reportReceived, this, &TFmain::UsbReceive,
            Qt::QueuedConnection);
}

void TFmain::FormShow() {
    screen_.DrawStaticScreen();
    PlacePanels();
    for (int wheel = 0; wheel < kShownWheels; ++wheel)
        screen_.DrawBatteryIcon(wheel);
    ShowCanvasChanges();
}

void TFmain::FormPaint() {
    // Everything is drawn on the canvas, which repaints itself.
}

void TFmain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!centred_) {
        centred_ = true;
        if (const QScreen* s = screen())
            move(s->availableGeometry().center() - rect().center());
    }
    if (!event->spontaneous())
        guarded(&TFmain::FormShow);
}

void TFmain::paintEvent(QPaintEvent*) {
    FormPaint();
}

void TFmain::FormWndProc(unsigned message) {
    if (message != kDeviceChangeMessage)
        return;
    usbMonitor_.deviceChanged();
    serial_.deviceChanged();
    UsbDetach();
}

void TFmain::UsbAttach() {
    if (!UsbConnected)
        UsbThread->resume();
    UsbConnected = true;
}

void TFmain::UsbDetach() {
    if (UsbConnected && UsbThread)
        UsbThread->pause();
    UsbConnected = false;
    usb_.DiscardPendingWrites(); // nothing goes to USB while it is not connected
}

void TFmain::UsbReceive(const QByteArray& report) {
    parser_.parseUsbReport({reinterpret_cast<const std::uint8_t*>(report.constData()),
                            static_cast<std::size_t>(report.size())});
    SyncModeTag();
}

void TFmain::Timer1Timer() {
    screen_.Timer1Timer();
    ShowCanvasChanges();
    for (const StandingAlarm::Raise& r : standing_.settle(state_.AlarmActive == 1))
        emit alarmWasRaised(r.wheel, r.status);
    emit refreshed();
}

void TFmain::ShowCanvasChanges() {
    const QRegion dirty = canvas_.takeDirty();
    if (!dirty.isEmpty())
        Image1->repaint(dirty); // the view sits at the canvas origin
}

void TFmain::Timer2Timer() {
    const QByteArray bytes = serial_.poll();
    if (bytes.isEmpty())
        return;
    Panel11->setCaption(QStringLiteral("RS232 CONNECTED"));
    parser_.feedSerial({reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                        static_cast<std::size_t>(bytes.size())});
    SyncModeTag();
}

void TFmain::Timer3Timer() {
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
        Panel11->setCaption(QStringLiteral("USB CONNECTED"));
    } else {
        UsbDetach();
        Panel11->setCaption(QString());
    }
}

} // namespace vorn
