#pragma once

#include "protocol/TyreStateTable.h"

#include <cstdint>
#include <string_view>

namespace vorn {

// The link a sensor report came by.
enum class ReportLink { Serial, Usb };

// How an alarm ended: every wheel back within limits, the user's
// acknowledgement on the brand panel, or the unit ending its mode.
enum class AlarmEnd { Cleared, Acknowledged, ModeEnded };

// Colours the unit's replies and the alarm give the window's status panels.
enum class PanelColour { ButtonFace, SkyBlue, Red, Blue, Yellow, Lime };

// What the frame parser and the alarm change outside the tyre state table:
// the brand panel, the calibration and factory status panels, the frequency
// text and tones. The main window implements it; tests record it.
class MonitorEffects {
public:
    virtual ~MonitorEffects() = default;

    // Brand and mode panel.
    virtual void setBrandCaption(std::string_view caption) = 0;
    virtual void setBrandColour(PanelColour colour) = 0;
    virtual PanelColour brandColour() const = 0;

    // Calibration and tuning status panel.
    virtual void setCalibrationCaption(std::string_view caption) = 0;
    virtual void setCalibrationColour(PanelColour colour) = 0;

    // Factory status panel (colour only).
    virtual void setFactoryColour(PanelColour colour) = 0;

    // The frequency word shown for editing.
    virtual void setFrequencyText(std::string_view text) = 0;

    // A tone of `hz` for `ms`, played after any tones before it; never blocks.
    virtual void playTone(int hz, int ms) = 0;

    // What happened, for whatever keeps or forwards it beside the screen
    // (history, publishing, notifications). They change nothing on screen.
    virtual void sensorStored(int /*wheel*/, ReportLink /*link*/) {}
    virtual void alarmRaised(int /*wheel*/, std::int32_t /*status*/) {}
    virtual void alarmEnded(AlarmEnd /*how*/) {}
    virtual void modeEntered(MonitorModeValue /*mode*/) {}
};

} // namespace vorn
