// The commands to the unit. The monitor shows a mode only when the unit
// answers; these change no more than what the table below each one says.
#include "monitor/MonitorCore.h"

namespace vorn {

void MonitorCore::SendSerial(std::string_view text) {
    if (!serial_.isOpen())
        return;
    const std::string frame = command::serialFrame(text);
    serial_.write(QByteArrayView(frame.data(), static_cast<qsizetype>(frame.size())));
}

void MonitorCore::SendUsb(std::string_view text) {
    UsbOutReport = command::usbReport(text);
    if (UsbConnected)
        usb_.UsbWriteReport(UsbOutReport);
}

void MonitorCore::SendCommand(std::string_view text) {
    SendSerial(text);
    SendUsb(text);
}

void MonitorCore::learn() {
    SendCommand(command::Learn);
}

void MonitorCore::testMode() {
    SendCommand(command::Test);
}

void MonitorCore::sendWheelCommand(int wheel) {
    SendCommand(command::wheel(wheel));
}

void MonitorCore::toggleAutoTx() {
    // The unit sees the USB form before the click is counted and the serial
    // form after it; the order is kept as the unit has always seen it.
    const command::AutotxStep step = command::autotxStep(state_.AutotxClicks);
    panels_.autotxCaption = step.caption;
    emit autotxChanged();
    SendUsb(step.command);
    // Only bit 0 matters; count in unsigned so it wraps instead of overflowing.
    state_.AutotxClicks =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(state_.AutotxClicks) + 1U);
    SendSerial(step.command);
}

void MonitorCore::acknowledge() {
    // During an alarm a click only acknowledges it; otherwise it ends the
    // unit's mode, and the unit's answer brings back normal mode.
    const bool alarmWasOn = state_.AlarmActive != 0;
    if (!alarmWasOn)
        SendCommand(command::End);
    state_.AlarmActive = 0;
    setBrandColour(PanelColour::SkyBlue);
    setBrandCaption("KESSIDO");
    if (alarmWasOn)
        alarmEnded(AlarmEnd::Acknowledged);
}

void MonitorCore::SendIfAny(const std::optional<std::string>& text) {
    if (text)
        SendCommand(*text);
}

// The frequency text changes only when the unit reports its new frequency.
void MonitorCore::setFrequency(const QString& text) {
    SendIfAny(command::frequencySet(text.toStdString()));
}

void MonitorCore::stepFrequency(const QString& text, int stepIndex, bool up) {
    SendIfAny(command::frequencyStep(text.toStdString(), stepIndex, up));
}

void MonitorCore::sendRadioSettings(const QString& text, int rateIndex, int autotxIndex) {
    SendIfAny(command::radioSettingsSave(text.toStdString(), rateIndex, autotxIndex));
}

void MonitorCore::autoCalibrate() {
    if (state_.CalibrationRunning == 0) {
        SendCommand(command::Calibrate);
        return;
    }
    // A second click stops watching the calibration; the unit is not told.
    state_.CalibrationRunning = 0;
    setCalibrationColour(PanelColour::ButtonFace);
    setCalibrationCaption("");
}

void MonitorCore::factory() {
    SendCommand(state_.FactoryMode == 1 ? command::End : command::Factory);
}

} // namespace vorn
