#pragma once

#include "display/Alarm.h"
#include "display/Canvas.h"
#include "display/MonitorSettings.h"
#include "display/ScreenPicture.h"
#include "display/SevenSegment.h"
#include "display/StatusIcons.h"
#include "display/TyreIcons.h"
#include "display/WheelEvaluation.h"
#include "protocol/MonitorEffects.h"
#include "protocol/TyreStateTable.h"

#include <cstdint>

namespace vorn {

// The drawn monitor screen as the window sees it: the picture on show, and
// the 100 ms tick that blinks, ages, times out calibration and refreshes the
// six wheels. Everything it draws goes onto the canvas it was given.
class MonitorScreen {
public:
    MonitorScreen(Canvas& canvas, TyreStateTable& state, const MonitorSettings& settings,
                  MonitorEffects& effects);
    MonitorScreen(const MonitorScreen&) = delete;
    MonitorScreen& operator=(const MonitorScreen&) = delete;

    void DrawStaticScreen() { picture_.DrawStaticScreen(); }
    void DrawBatteryIcon(int wheel) { icons_.DrawBatteryIcon(wheel); }
    void RefreshDisplay();
    // A sensor report for `wheel` was stored (the alarm counts wheels 4 and
    // 5 only once they have reported).
    void WheelReported(int wheel) { alarm_.WheelReported(wheel); }
    void Timer1Timer();

    std::int32_t BlinkPhase() const { return alarm_.blinkPhase(); }

private:
    void AdvanceCalibrationWatch();

    TyreStateTable& state_;
    MonitorEffects& effects_;
    SevenSegmentRenderer digits_;
    ScreenPicture picture_;
    StatusIcons icons_;
    WheelEvaluator wheels_;
    Alarm alarm_;
    TyreIcons tyres_;
};

} // namespace vorn
