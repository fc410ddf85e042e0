#pragma once

#include <string_view>

namespace vorn {

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
};

} // namespace vorn
