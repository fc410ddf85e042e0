#pragma once

#include "protocol/MonitorEffects.h"

#include <QString>
#include <string>

namespace vorn {

// What the unit's replies, the alarm and the settings show beside the drawn
// screen, by the panels of the unit's own program that show them.
struct MonitorPanels {
    std::string brandCaption = "KESSIDO"; // Panel9, whose tag is the monitor mode
    PanelColour brandColour = PanelColour::SkyBlue;
    std::string calibrationCaption; // Panel17
    PanelColour calibrationColour = PanelColour::ButtonFace;
    PanelColour factoryColour = PanelColour::ButtonFace; // Panel18
    std::string frequencyText = "2CAA";                  // Edit4, as the unit last reported it
    std::string linkText;                                // Panel11
    std::string autotxCaption = "AUTOTX ON";             // Button4
    QString pressureCaption;                             // Panel1, 3, 5, 7, 12, 14
    QString temperatureCaption;                          // Panel2, 4, 6, 8, 13, 15
};

} // namespace vorn
