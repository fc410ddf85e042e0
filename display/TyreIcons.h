#pragma once

#include "display/Alarm.h"
#include "display/Canvas.h"
#include "protocol/TyreStateTable.h"

#include <array>
#include <cstdint>

namespace vorn {

// The tyre icon of each wheel: absent, normal, low or high, with a hot core.
// It is where the alarm is raised, on a change of the wheel's status word.
class TyreIcons {
public:
    TyreIcons(Canvas& canvas, const TyreStateTable& state, Alarm& alarm)
        : canvas_(canvas), state_(state), alarm_(alarm) {
        PreviousStatus.fill(-1); // matches no status word: the first refresh draws all
    }

    void DrawTyreIcon(int wheel);

private:
    enum class Part { Outer, Ring, Core, LowCore };
    void drawPart(QPoint origin, Part part, QRgb colour, BrushStyle style = BrushStyle::Solid);
    // Draws the icon for `word`; true when that state raises the alarm.
    bool drawState(QPoint origin, std::int32_t word);

    Canvas& canvas_;
    const TyreStateTable& state_;
    Alarm& alarm_;
    std::array<std::int32_t, kWheelSlots> PreviousStatus{};
};

} // namespace vorn
