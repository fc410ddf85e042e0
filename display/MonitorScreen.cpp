#include "display/MonitorScreen.h"

#include <limits>

namespace vorn {

namespace {
// Ticks without a frequency report after which calibration is given up.
constexpr std::int32_t CalibrationTimeoutTicks = 30;
} // namespace

MonitorScreen::MonitorScreen(Canvas& canvas, TyreStateTable& state, const MonitorSettings& settings,
                             MonitorEffects& effects)
    : state_(state), effects_(effects), digits_(canvas), picture_(canvas), icons_(canvas, state),
      wheels_(digits_, state, settings), alarm_(state, settings, effects),
      tyres_(canvas, state, alarm_) {}

// The tyre icon sees the status bits computed for its wheel in the same pass.
void MonitorScreen::RefreshDisplay() {
    for (int wheel = 0; wheel < kShownWheels; ++wheel) {
        wheels_.EvaluatePressure(wheel);
        wheels_.EvaluateTemperature(wheel);
        icons_.DrawBatteryIcon(wheel);
        tyres_.DrawTyreIcon(wheel);
    }
    icons_.DrawAntennaIcon(alarm_.blinkPhase());
    alarm_.EndWhenClear();
}

void MonitorScreen::Timer1Timer() {
    alarm_.Blink();
    state_.AgeTestMode();
    AdvanceCalibrationWatch();
    RefreshDisplay();
}

// The unit's calibration start and each frequency report set the ticks back
// to 0; three seconds without either end the calibration in error.
void MonitorScreen::AdvanceCalibrationWatch() {
    if (state_.CalibrationRunning == 0)
        return;
    if (state_.CalibrationTicks < std::numeric_limits<std::int32_t>::max())
        ++state_.CalibrationTicks;
    if (state_.CalibrationTicks < CalibrationTimeoutTicks)
        return;
    state_.CalibrationRunning = 0;
    effects_.setCalibrationCaption("Error");
    effects_.setCalibrationColour(PanelColour::Red);
}

} // namespace vorn
