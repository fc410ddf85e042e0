// What the unit's replies and the alarm change beside the tyre state table,
// kept as state for every view and told through the change signals.
#include "monitor/MonitorCore.h"

namespace vorn {

void MonitorCore::setBrandCaption(std::string_view caption) {
    panels_.brandCaption = caption;
    emit brandChanged();
}

void MonitorCore::setBrandColour(PanelColour colour) {
    panels_.brandColour = colour;
    emit brandChanged();
}

void MonitorCore::setCalibrationCaption(std::string_view caption) {
    panels_.calibrationCaption = caption;
    emit calibrationChanged();
}

void MonitorCore::setCalibrationColour(PanelColour colour) {
    panels_.calibrationColour = colour;
    emit calibrationChanged();
}

void MonitorCore::setFactoryColour(PanelColour colour) {
    panels_.factoryColour = colour;
    emit factoryChanged();
}

void MonitorCore::setFrequencyText(std::string_view text) {
    panels_.frequencyText = text;
    emit frequencyReported();
}

void MonitorCore::playTone(int hz, int ms) {
    services_.tones->playTone(hz, ms);
}

void MonitorCore::sensorStored(int wheel, ReportLink link) {
    alarm_.WheelReported(wheel);
    emit readingStored(wheel, link);
}

void MonitorCore::alarmEnded(AlarmEnd how) {
    if (standing_.ended())
        emit alarmWasEnded(how);
}

} // namespace vorn
