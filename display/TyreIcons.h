#pragma once

#include "display/Canvas.h"
#include "protocol/TyreStateTable.h"

#include <array>
#include <cstdint>

namespace vorn {

// The tyre icon of each wheel, drawn from its status word: absent, normal,
// low or high, with a hot core. It is drawn again only when the word changes.
class TyreIcons {
public:
    TyreIcons(Canvas& canvas, const TyreStateTable& state) : canvas_(canvas), state_(state) {
        PreviousStatus.fill(-1); // matches no status word: the first refresh draws all
    }

    void DrawTyreIcon(int wheel);

private:
    enum class Part { Outer, Ring, Core, LowCore };
    void drawPart(QPoint origin, Part part, QRgb colour, BrushStyle style = BrushStyle::Solid);
    void drawState(QPoint origin, std::int32_t word);

    Canvas& canvas_;
    const TyreStateTable& state_;
    std::array<std::int32_t, kWheelSlots> PreviousStatus{};
};

} // namespace vorn
