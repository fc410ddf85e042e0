#pragma once

#include "display/Canvas.h"
#include "protocol/TyreStateTable.h"

#include <array>
#include <cstdint>
#include <limits>

namespace vorn {

// The blinking antenna and the per-wheel battery icons. Each remembers the
// state it was last drawn with and is drawn again only when that changes; an
// icon is removed by drawing it in white.
class StatusIcons {
public:
    StatusIcons(Canvas& canvas, const TyreStateTable& state) : canvas_(canvas), state_(state) {
        // No battery value, so the first call for each wheel draws: in white
        // before any report, in black for a view made when a wheel's battery
        // is already low (a window attached to a running monitor).
        BatteryIconState.fill(std::numeric_limits<std::int32_t>::min());
    }

    // Follows the blink phase; leaves the pen black and 1 pixel wide after drawing.
    void DrawAntennaIcon(std::int32_t blinkPhase);
    // Shows wheel 0 to 5's battery icon while its battery value is not 0.
    void DrawBatteryIcon(int wheel);

private:
    Canvas& canvas_;
    const TyreStateTable& state_;
    std::int32_t AntennaState = 0;
    std::array<std::int32_t, kWheelSlots> BatteryIconState{};
};

} // namespace vorn
