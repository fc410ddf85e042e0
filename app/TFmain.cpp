#include "app/TFmain.h"

#include "link/SerialPortName.h"

#include <QDir>
#include <QScreen>
#include <QShowEvent>
#include <array>
#include <exception>

namespace vorn {

namespace {

constexpr int kUsbChoice = 4;

QString fromLatin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

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
    for (QTimer* timer : {Timer1, Timer2, Timer3})
        timer->start();
    // 2. Device-change broadcasts reach FormWndProc after Qt has seen them.
    // 3. Settings; a missing or bad file throws and the window is never shown.
    LoadSettings();
    // 4. The serial link, when a COM port is chosen.
    OpenSerialLink();
    // 5. Unit captions and the unit the display uses.
    SetUnitCaptions();
    settings_.PressureUnitIndex = RadioGroup1->itemIndex();
    // 6. Geometry.
    SetGeometry();
    // 7. Normal mode.
    state_.MonitorMode = static_cast<std::int32_t>(MonitorModeValue::Normal);
    Panel9->setTag(state_.MonitorMode);
    // 8. Qt widgets paint through a back buffer already.

    FormCreate();
}

TFmain::~TFmain() = default;

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
    bind(Button5, &QPushButton::clicked, &TFmain::Button5Click);
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

void TFmain::LoadSettings() {
    settingsText_ = loadSettingsFile(settingsPath_);
    Memo1->setPlainText(settingsText_.plainText());
    // Each line takes effect before the next is converted.
    for (int line = 0; line < kSettingsLines; ++line) {
        const std::int32_t value = parseSettingInteger(settingsText_.line(line));
        switch (line) {
        case 0:
            settings_.LowPressureSet = value;
            break;
        case 1:
            settings_.HighPressureSet = value;
            break;
        case 2:
            settings_.HighTempSet = value;
            break;
        case 3:
            RadioGroup1->setItemIndex(value);
            break;
        case 4:
            RadioGroup2->setItemIndex(value);
            break;
        case 5:
            RadioGroup3->setItemIndex(value);
            break;
        case 6:
            ComboBox2->setItemIndex(value);
            break;
        case 7:
            RadioGroup4->setItemIndex(value);
            break;
        }
    }
}

void TFmain::OpenSerialLink() {
    const int choice = RadioGroup3->itemIndex();
    if (choice == kUsbChoice)
        return;
    const QString location = resolveSerialPortName(comPortName(choice), services_.workDir);
    switch (serial_.open(location)) {
    case SerialLink::OpenResult::Opened:
        break;
    case SerialLink::OpenResult::OpenFailed:
        services_.messages->show(QStringLiteral("open com(RS232) error"),
                                 QStringLiteral("Comm Error"));
        break;
    case SerialLink::OpenResult::SetFailed:
        // The unit's own wording: it names com1 whatever port was chosen.
        services_.messages->show(QStringLiteral("com1(RS232) set error"),
                                 QStringLiteral("Set Error"));
        break;
    }
}

void TFmain::SetUnitCaptions() {
    const QString pressure = pressureUnitCaption(RadioGroup1->itemIndex());
    for (Panel* p : {Panel1, Panel3, Panel5, Panel7, Panel12, Panel14})
        p->setCaption(pressure);
    const QString temperature = temperatureUnitCaption(RadioGroup2->itemIndex());
    for (Panel* p : {Panel2, Panel4, Panel6, Panel8, Panel13, Panel15})
        p->setCaption(temperature);
}

void TFmain::FormCreate() {}

void TFmain::FormShow() {
    PlacePanels();
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
    UsbConnected = false;
}

void TFmain::Timer1Timer() {}

void TFmain::Timer2Timer() {}

void TFmain::Timer3Timer() {}

void TFmain::BitBtn1Click() {
    pending_ = {settings_.LowPressureSet, settings_.HighPressureSet, settings_.HighTempSet};
    Edit1->setText(QString::number(pending_.LowPressureEdit));
    Edit2->setText(QString::number(pending_.HighPressureEdit));
    Edit3->setText(QString::number(pending_.HighTempEdit));
    Panel10->setGeometry(Image1->geometry());
    Panel10->show();
    Panel10->raise();
}

void TFmain::AdjustPending(PendingValue which, int delta) {
    const struct {
        std::int32_t* value;
        QLineEdit* edit;
    } column[] = {
        {&pending_.LowPressureEdit, Edit1},
        {&pending_.HighPressureEdit, Edit2},
        {&pending_.HighTempEdit, Edit3},
    };
    const auto& c = column[static_cast<int>(which)];
    *c.value = stepPending(*c.value, delta, stepRange(which));
    c.edit->setText(QString::number(*c.value));
}

void TFmain::Button1Click() {
    settings_.LowPressureSet = pending_.LowPressureEdit;
    settings_.HighPressureSet = pending_.HighPressureEdit;
    settings_.HighTempSet = pending_.HighTempEdit;
    const std::int32_t lines[kSettingsLines] = {
        settings_.LowPressureSet, settings_.HighPressureSet, settings_.HighTempSet,
        RadioGroup1->itemIndex(), RadioGroup2->itemIndex(),  RadioGroup3->itemIndex(),
        ComboBox2->itemIndex(),   RadioGroup4->itemIndex(),
    };
    for (int i = 0; i < kSettingsLines; ++i)
        settingsText_.replaceLine(i, QString::number(lines[i]));
    Memo1->setPlainText(settingsText_.plainText());
    saveSettingsFile(settingsPath_, settingsText_); // throws; the panel stays open
    settings_.PressureUnitIndex = RadioGroup1->itemIndex();
    SetUnitCaptions();
    Panel10->hide();
}

void TFmain::Button2Click() {
    Panel10->hide();
}

void TFmain::Button3Click() {
    Panel10->hide();
}

void TFmain::Button5Click() {
    Panel10->hide();
}

} // namespace vorn

namespace vorn {

void TFmain::setBrandCaption(std::string_view caption) {
    Panel9->setCaption(fromLatin1(caption));
}

void TFmain::setBrandColour(PanelColour colour) {
    Panel9->setColor(toQColor(colour));
}

PanelColour TFmain::brandColour() const {
    for (PanelColour c : {PanelColour::SkyBlue, PanelColour::Red, PanelColour::Blue,
                          PanelColour::Yellow, PanelColour::Lime})
        if (Panel9->color() == toQColor(c))
            return c;
    return PanelColour::ButtonFace;
}

void TFmain::setCalibrationCaption(std::string_view caption) {
    Panel17->setCaption(fromLatin1(caption));
}

void TFmain::setCalibrationColour(PanelColour colour) {
    Panel17->setColor(toQColor(colour));
}

void TFmain::setFactoryColour(PanelColour colour) {
    Panel18->setColor(toQColor(colour));
}

void TFmain::setFrequencyText(std::string_view text) {
    Edit4->setText(fromLatin1(text));
}

void TFmain::playTone(int hz, int ms) {
    services_.tones->playTone(hz, ms);
}

} // namespace vorn
