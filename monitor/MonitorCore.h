#pragma once

#include "link/HidBackend.h"
#include "link/SerialSession.h"
#include "link/TonePlayer.h"
#include "link/UsbConnectionMonitor.h"
#include "link/UsbHidDevice.h"
#include "link/rxusbth.h"
#include "monitor/Alarm.h"
#include "monitor/MessageSink.h"
#include "monitor/MonitorModel.h"
#include "monitor/MonitorPanels.h"
#include "monitor/SettingsFile.h"
#include "monitor/StandingAlarm.h"
#include "monitor/WheelEvaluation.h"
#include "protocol/Commands.h"
#include "protocol/FrameParser.h"
#include "protocol/MonitorEffects.h"
#include "protocol/MonitorSettings.h"
#include "protocol/TyreStateTable.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <string>

namespace vorn {

class DeviceChangeWatcher;

// What the monitor needs from outside: where it works, where its messages
// and its tones go, and how it reaches HID devices.
struct MonitorServices {
    QString workDir;                 // holds setdata.txt and the COM links
    MessageSink* messages = nullptr; // never null
    ToneSink* tones = nullptr;       // never null
    HidBackend* hid = nullptr;       // never null
};

// The device-change broadcast, as the operating system numbers it.
inline constexpr unsigned kDeviceChangeMessage = 537;

// The monitor: the settings in use, both links to the unit, the three 100 ms
// timers, the frame parser and the tyre state table, the evaluation of every
// wheel, the alarm and its tones, the mode and the panels the unit's replies
// set, and the commands to the unit. It needs Qt Core only. Views (the
// window, the headless service, a remote view) read its state, follow its
// signals and call its commands; nothing here knows of a screen.
class MonitorCore : public MonitorModel, private MonitorEffects {
    Q_OBJECT
public:
    // Reads the settings (throws with the failure text when they are missing
    // or bad), opens the serial link when a COM port is chosen, and starts
    // the timers.
    explicit MonitorCore(MonitorServices services, QObject* parent = nullptr);
    ~MonitorCore() override;

    // The three 100 ms ticks; tests drive time by calling them.
    void Timer1Timer(); // blink and tone, ageing, calibration watch, evaluation
    void Timer2Timer(); // serial poll
    void Timer3Timer(); // USB presence monitor
    // A device-change broadcast: pauses USB reception and schedules a search.
    void deviceChanged();
    // One input report from the receive thread, parsed here on this thread.
    void UsbReceive(const QByteArray& report);

    const TyreStateTable& state() const override { return state_; }
    TyreStateTable& state() { return state_; }
    const MonitorSettings& settings() const override { return settings_; }
    const SettingsRecord& record() const override { return record_; }
    const SettingsText& settingsText() const override { return settingsText_; }
    const MonitorPanels& panels() const override { return panels_; }
    std::int32_t blinkPhase() const override { return alarm_.blinkPhase(); }
    bool usbConnected() const { return UsbConnected; }
    bool serialOpen() const { return serial_.isOpen(); }
    const command::UsbOutReport& usbOutReport() const { return UsbOutReport; }
    QString workDir() const override { return services_.workDir; }
    // Which links are up, in words, for "About VORN" and the like.
    QString linkDescription() const override;
    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;
    QTimer* Timer3 = nullptr;

    // Commands; a command goes out on every link that is up, and nothing
    // waits for the unit's answer, which arrives as a frame.
    void learn() override;
    void testMode() override;
    void sendWheelCommand(int wheel) override;
    void toggleAutoTx() override;
    // The brand panel's click: during an alarm it only acknowledges it,
    // otherwise it tells the unit to end its mode.
    void acknowledge() override;
    // The standing alarm acknowledged as that click does; without an alarm
    // nothing happens, since the click would end the unit's mode.
    void acknowledgeAlarm() override {
        if (state_.AlarmActive != 0)
            acknowledge();
    }
    // The radio tuning commands, from the frequency text as typed; an
    // invalid text sends nothing.
    void setFrequency(const QString& text) override;
    void stepFrequency(const QString& text, int stepIndex, bool up) override;
    void sendRadioSettings(const QString& text, int rateIndex, int autotxIndex) override;
    // Starts a calibration, or stops watching the one under way.
    void autoCalibrate() override;
    void factory() override;

    // "Save": the thresholds take effect at once, then the record is written
    // to setdata.txt (throws with the failure text when it cannot be), then
    // the units and captions follow it.
    void saveSettings(const SettingsRecord& record) override;
    // The vehicle's wheels, 4 or 6, kept in the per-user settings.
    int wheels() const override { return settings_.AlarmWheels; }
    void setWheels(int wheels) override;
    void reloadPreferences() override { emit preferencesReloadWanted(); }

private:
    // What the unit's replies and the alarm change beside the table.
    void setBrandCaption(std::string_view caption) override;
    void setBrandColour(PanelColour colour) override;
    PanelColour brandColour() const override { return panels_.brandColour; }
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

    void startTimers();
    void LoadSettings();
    void loadWheels();
    // The units chosen in the record: captions now, digits at the next refresh.
    void TakeUnits();
    void OpenSerialLink();
    void SerialLost(const QString& line);
    void setLinkText(std::string_view text);
    void RefreshDisplay();
    void AdvanceCalibrationWatch();
    void FormCreate();
    void UsbAttach();
    void UsbDetach();
    void SendIfAny(const std::optional<std::string>& text);
    void SendCommand(std::string_view text);
    void SendSerial(std::string_view text);
    void SendUsb(std::string_view text);

    // Runs a tick; an exception it throws is shown and the program goes on.
    void guarded(void (MonitorCore::*handler)()) noexcept;

    MonitorServices services_;
    QString settingsPath_;
    SettingsText settingsText_;
    SettingsRecord record_;
    MonitorSettings settings_;
    MonitorPanels panels_;
    TyreStateTable state_;
    UsbConnectionMonitor usbMonitor_;
    SerialSession serial_{services_.workDir};
    command::UsbOutReport UsbOutReport{}; // rewritten whole for every command
    FrameParser parser_{state_, *this};
    WheelEvaluator wheels_{state_, settings_};
    Alarm alarm_{state_, settings_, *this};
    StandingAlarm standing_;
    UsbHidDevice usb_{*services_.hid};
    DeviceChangeWatcher* watcher_ = nullptr; // owned through its parent, this
    // Made by FormCreate; stopped before usb_, whose read handle it uses.
    std::unique_ptr<rxusbth> UsbThread;
    bool UsbConnected = false;
};

} // namespace vorn
