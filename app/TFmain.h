#pragma once

#include "app/Controls.h"
#include "app/MessageSink.h"
#include "app/PendingThresholds.h"
#include "app/SettingsFile.h"
#include "display/Canvas.h"
#include "display/MonitorScreen.h"
#include "display/MonitorSettings.h"
#include "display/StandingAlarm.h"
#include "link/DeviceChangeWatcher.h"
#include "link/HidBackend.h"
#include "link/SerialSession.h"
#include "link/TonePlayer.h"
#include "link/UsbConnectionMonitor.h"
#include "link/UsbHidDevice.h"
#include "link/rxusbth.h"
#include "protocol/Commands.h"
#include "protocol/FrameParser.h"
#include "protocol/MonitorEffects.h"
#include "protocol/TyreStateTable.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

namespace vorn {

// What the window needs from outside: where it works, where its messages
// and its tones go.
struct TFmainServices {
    QString workDir;                 // holds setdata.txt and the COM links
    MessageSink* messages = nullptr; // never null
    ToneSink* tones = nullptr;       // never null
    HidBackend* hid = nullptr;       // never null
};

// The device-change broadcast, as the operating system numbers it.
inline constexpr unsigned kDeviceChangeMessage = 537;

// The main window: the drawn monitor screen, its panels and the settings
// panel laid over it. It wires the protocol, display and links together;
// each control event is one handler named after the control.
class TFmain : public QWidget, public MonitorEffects {
    Q_OBJECT
public:
    // Reads the settings; throws with the failure text when they are missing
    // or bad, before the window is ever shown.
    explicit TFmain(TFmainServices services, QWidget* parent = nullptr);
    ~TFmain() override;

    // Window events.
    void FormCreate();
    void FormShow();
    void FormPaint();
    void Timer1Timer();
    void Timer2Timer();
    void Timer3Timer();

    // Settings panel.
    void BitBtn1Click();
    void BitBtn2Click() { AdjustPending(PendingValue::LowPressure, +1); }
    void BitBtn3Click() { AdjustPending(PendingValue::LowPressure, -1); }
    void BitBtn4Click() { AdjustPending(PendingValue::HighPressure, +1); }
    void BitBtn5Click() { AdjustPending(PendingValue::HighPressure, -1); }
    void BitBtn6Click() { AdjustPending(PendingValue::HighTemp, +1); }
    void BitBtn7Click() { AdjustPending(PendingValue::HighTemp, -1); }
    void Button1Click();
    void Button2Click();

    // Commands to the unit.
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Panel9Click();
    void Button8Click();
    void Button6Click() { SendFrequencyStep(true); }
    void Button7Click() { SendFrequencyStep(false); }
    void Button10Click();
    void Button11Click();
    void Button9Click();
    void Panel1Click() { SendWheelCommand(0); }
    void Panel3Click() { SendWheelCommand(1); }
    void Panel5Click() { SendWheelCommand(2); }
    void Panel7Click() { SendWheelCommand(3); }
    void Panel12Click() { SendWheelCommand(4); }
    void Panel14Click() { SendWheelCommand(5); }

    TyreStateTable& state() { return state_; }
    const MonitorSettings& settings() const { return settings_; }
    const PendingThresholds& pending() const { return pending_; }
    const Canvas& canvas() const { return canvas_; }
    bool usbConnected() const { return UsbConnected; }
    bool serialOpen() const { return serial_.isOpen(); }
    const command::UsbOutReport& usbOutReport() const { return UsbOutReport; }

    // What the unit's replies and the alarm change in the window.
    void setBrandCaption(std::string_view caption) override;
    void setBrandColour(PanelColour colour) override;
    PanelColour brandColour() const override;
    void setCalibrationCaption(std::string_view caption) override;
    void setCalibrationColour(PanelColour colour) override;
    void setFactoryColour(PanelColour colour) override;
    void setFrequencyText(std::string_view text) override;
    void playTone(int hz, int ms) override;
    void sensorStored(int wheel, ReportLink link) override;
    // The outputs beside the screen hear of the alarm as it stands after each
    // refresh (see StandingAlarm).
    void alarmRaised(int wheel, std::int32_t status) override { standing_.raised(wheel, status); }
    void alarmEnded(AlarmEnd how) override;
    void modeEntered(MonitorModeValue mode) override { emit modeWasEntered(mode); }

    // The window's context menu (right-click on the drawn screen, the Menu
    // key, Shift+F10). Features beside the replica add their entries here.
    QMenu& contextMenu() { return *contextMenu_; }
    // Which links are up, in words, for "About VORN" and the like.
    QString linkDescription() const;
    // Wheels 4 and 5 shown below the unit's own screen (context menu).
    bool sixWheelView() const { return sixWheels_->isChecked(); }
    void setSixWheelView(bool on) { sixWheels_->setChecked(on); }

    // Controls, by their design names. The window owns them through Qt's
    // parent links.
    ImageView* Image1 = nullptr;
    Panel* Panel1 = nullptr; // pressure unit, wheels 0 to 5
    Panel* Panel3 = nullptr;
    Panel* Panel5 = nullptr;
    Panel* Panel7 = nullptr;
    Panel* Panel12 = nullptr;
    Panel* Panel14 = nullptr;
    Panel* Panel2 = nullptr; // temperature unit, wheels 0 to 5
    Panel* Panel4 = nullptr;
    Panel* Panel6 = nullptr;
    Panel* Panel8 = nullptr;
    Panel* Panel13 = nullptr;
    Panel* Panel15 = nullptr;
    Panel* Panel9 = nullptr;  // brand and mode
    Panel* Panel11 = nullptr; // link status
    QPushButton* BitBtn1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    Panel* Panel10 = nullptr; // the settings panel
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QPushButton* BitBtn4 = nullptr;
    QPushButton* BitBtn5 = nullptr;
    QPushButton* BitBtn6 = nullptr;
    QPushButton* BitBtn7 = nullptr;
    QPushButton* Button1 = nullptr; // Save
    RadioGroup* RadioGroup1 = nullptr;
    RadioGroup* RadioGroup2 = nullptr;
    RadioGroup* RadioGroup3 = nullptr;
    QPushButton* Button3 = nullptr; // Learn ID
    QPushButton* Button5 = nullptr; // TEST MOD
    QPushButton* Button4 = nullptr; // AUTOTX
    QPushButton* Button2 = nullptr; // Exit
    Panel* Panel16 = nullptr;       // radio tuning group
    QLineEdit* Edit4 = nullptr;
    QPushButton* Button8 = nullptr; // Freq Set
    QPushButton* Button6 = nullptr; // Freq +
    QPushButton* Button7 = nullptr; // Freq -
    ChoiceBox* ComboBox1 = nullptr;
    QPushButton* Button10 = nullptr; // Auto Cal
    QPushButton* Button11 = nullptr; // Factory
    Panel* Panel17 = nullptr;
    Panel* Panel18 = nullptr;
    ChoiceBox* ComboBox2 = nullptr;
    RadioGroup* RadioGroup4 = nullptr;
    QPushButton* Button9 = nullptr; // RF Save
    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;
    QTimer* Timer3 = nullptr;

signals:
    // For what keeps or forwards the readings beside the screen; all are
    // emitted on the main thread after the state table has changed. The
    // alarm signals follow the alarm as it stands after each refresh: a
    // raise that the same refresh takes back is never emitted, and an end
    // only for an alarm that was.
    void readingStored(int wheel, vorn::ReportLink link);
    void alarmWasRaised(int wheel, std::int32_t status);
    void alarmWasEnded(vorn::AlarmEnd how);
    void modeWasEntered(vorn::MonitorModeValue mode);
    // After every display refresh: statuses in state() are current.
    void refreshed();

public slots:
    // Called for window-level messages that Qt does not deliver as events;
    // the device-change broadcast pauses USB reception and schedules a search.
    void FormWndProc(unsigned message);
    // One input report from the receive thread, parsed here on the main thread.
    void UsbReceive(const QByteArray& report);

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void createControls();
    void createSettingsPanel();
    void createTuningGroup();
    void connectHandlers();
    void createContextMenu();
    void setToolTips();
    void showAbout();
    void startTimers();
    // The view chosen last time, from the per-user settings.
    void loadView();
    // Window height and alarm wheels for the view in effect.
    void applyView();
    void LoadSettings();
    void OpenSerialLink();
    void SerialLost(const QString& line);
    // The brand panel's tag shows the monitor mode the unit last reported.
    void SyncModeTag() { Panel9->setTag(state_.MonitorMode); }
    void SetUnitCaptions();
    // The units chosen on the panel: captions now, digits at the next refresh.
    void TakeUnits();
    QString PendingText(PendingValue which, std::int32_t value) const;
    void SetGeometry();
    void PlacePanels();
    // Shows what was drawn on the canvas since the last look.
    void ShowCanvasChanges();
    void AdjustPending(PendingValue which, int delta);
    void SendWheelCommand(int wheel);
    void SendFrequencyStep(bool up);
    void SendIfAny(const std::optional<std::string>& text);
    void UsbAttach();
    void UsbDetach();
    // A command goes out on every link that is up; nothing waits for a reply.
    void SendCommand(std::string_view text);
    void SendSerial(std::string_view text);
    void SendUsb(std::string_view text);

    // Runs a handler; an exception it throws is shown and the program goes on.
    void guarded(void (TFmain::*handler)()) noexcept;
    template <class Sender, class Signal>
    void bind(Sender* sender, Signal signal, void (TFmain::*handler)()) {
        connect(sender, signal, this, [this, handler] { guarded(handler); });
    }

    TFmainServices services_;
    QString settingsPath_;
    SettingsText settingsText_;
    MonitorSettings settings_;
    PendingThresholds pending_;
    TyreStateTable state_;
    Canvas canvas_;
    UsbConnectionMonitor usbMonitor_;
    SerialSession serial_{services_.workDir};
    command::UsbOutReport UsbOutReport{}; // rewritten whole for every command
    FrameParser parser_{state_, *this};
    MonitorScreen screen_{canvas_, state_, settings_, *this};
    StandingAlarm standing_;
    UsbHidDevice usb_{*services_.hid};
    DeviceChangeWatcher* watcher_ = nullptr;
    QMenu* contextMenu_ = nullptr; // owned through its parent, the window
    QAction* sixWheels_ = nullptr; // owned by the menu
    // Made by FormCreate; stopped before usb_, whose read handle it uses.
    std::unique_ptr<rxusbth> UsbThread;
    bool UsbConnected = false;
    bool centred_ = false;
};

} // namespace vorn
