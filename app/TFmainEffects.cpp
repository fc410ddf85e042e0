// What the unit's replies and the alarm change in the window.
#include "app/TFmain.h"

namespace vorn {

namespace {

QString fromLatin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

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

void TFmain::sensorStored(int wheel, ReportLink link) {
    screen_.WheelReported(wheel);
    emit readingStored(wheel, link);
}

void TFmain::alarmEnded(AlarmEnd how) {
    if (standing_.ended())
        emit alarmWasEnded(how);
}

} // namespace vorn
