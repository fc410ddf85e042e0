// The commands the window's buttons and panels send to the unit. The window
// shows a mode only when the unit answers; these handlers change no more
// than their own controls.
#include "window/TFmain.h"

namespace vorn {

void TFmain::SendSerial(std::string_view text) {
    if (!serial_.isOpen())
        return;
    const std::string frame = command::serialFrame(text);
    serial_.write(QByteArrayView(frame.data(), static_cast<qsizetype>(frame.size())));
}

void TFmain::SendUsb(std::string_view text) {
    UsbOutReport = command::usbReport(text);
    if (UsbConnected)
        usb_.UsbWriteReport(UsbOutReport);
}

void TFmain::SendCommand(std::string_view text) {
    SendSerial(text);
    SendUsb(text);
}

void TFmain::Button3Click() {
    SendCommand(command::Learn);
    Panel10->hide();
}

void TFmain::Button5Click() {
    SendCommand(command::Test);
    Panel10->hide();
}

void TFmain::SendWheelCommand(int wheel) {
    SendCommand(command::wheel(wheel));
    Panel10->hide();
}

void TFmain::Button4Click() {
    // The unit sees the USB form before the click is counted and the serial
    // form after it; the order is kept as the unit has always seen it.
    const command::AutotxStep step = command::autotxStep(state_.AutotxClicks);
    Button4->setText(QString::fromLatin1(step.caption.data(), step.caption.size()));
    SendUsb(step.command);
    // Only bit 0 matters; count in unsigned so it wraps instead of overflowing.
    state_.AutotxClicks =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(state_.AutotxClicks) + 1U);
    SendSerial(step.command);
}

void TFmain::Panel9Click() {
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

void TFmain::SendIfAny(const std::optional<std::string>& text) {
    if (text)
        SendCommand(*text);
}

// The frequency edit changes only when the unit reports its new frequency.
void TFmain::Button8Click() {
    SendIfAny(command::frequencySet(Edit4->text().toStdString()));
}

void TFmain::SendFrequencyStep(bool up) {
    SendIfAny(command::frequencyStep(Edit4->text().toStdString(), ComboBox1->itemIndex(), up));
}

void TFmain::Button10Click() {
    if (state_.CalibrationRunning == 0) {
        SendCommand(command::Calibrate);
        return;
    }
    // A second click stops watching the calibration; the unit is not told.
    state_.CalibrationRunning = 0;
    setCalibrationColour(PanelColour::ButtonFace);
    setCalibrationCaption("");
}

void TFmain::Button11Click() {
    SendCommand(state_.FactoryMode == 1 ? command::End : command::Factory);
}

void TFmain::Button9Click() {
    SendIfAny(command::radioSettingsSave(Edit4->text().toStdString(), ComboBox2->itemIndex(),
                                         RadioGroup4->itemIndex()));
}

} // namespace vorn
