#pragma once

#include "display/Canvas.h"
#include "display/ScreenPicture.h"
#include "display/SevenSegment.h"
#include "display/StatusIcons.h"
#include "display/TyreIcons.h"
#include "protocol/MonitorSettings.h"
#include "protocol/Readout.h"
#include "protocol/TyreStateTable.h"

#include <cstdint>

namespace vorn {

// The drawn monitor screen: the picture, and each wheel's digits and icons
// drawn from its table entry and status word, which the monitor has decided.
// It decides nothing itself; everything it draws goes onto the canvas it was
// given, and only what changed is drawn again.
class MonitorScreen {
public:
    MonitorScreen(Canvas& canvas, const TyreStateTable& state, const MonitorSettings& settings);
    MonitorScreen(const MonitorScreen&) = delete;
    MonitorScreen& operator=(const MonitorScreen&) = delete;

    void DrawStaticScreen() { picture_.DrawStaticScreen(); }
    void DrawBatteryIcon(int wheel) { icons_.DrawBatteryIcon(wheel); }
    // The six wheels' digits, battery and tyre icons, then the antenna for
    // the blink phase.
    void RefreshDisplay(std::int32_t blinkPhase);

private:
    void drawRow(int firstCell, const RowGlyphs& row, QRgb colour);
    void DrawPressure(int wheel);
    void DrawTemperature(int wheel);

    const TyreStateTable& state_;
    const MonitorSettings& settings_;
    SevenSegmentRenderer digits_;
    ScreenPicture picture_;
    StatusIcons icons_;
    TyreIcons tyres_;
};

} // namespace vorn
