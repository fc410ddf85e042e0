#include "display/TyreIcons.h"

#include "display/Colours.h"
#include "display/ScreenLayout.h"

namespace vorn {

namespace {
using P = QPoint;

// Icon origins as offsets from the vehicle origin, by wheel.
constexpr std::array<P, kShownWheels> IconOffsets = {P(-100, 40), P(61, 40),    P(-100, 300),
                                                     P(61, 300),  P(-100, 480), P(61, 480)};

struct Box {
    P topLeft;
    P bottomRight;
};
// Outer, ring, core and the bottom part of the core, from the icon origin.
constexpr std::array<Box, 4> Parts = {{
    {P(0, 0), P(40, 60)},
    {P(3, 3), P(37, 57)},
    {P(6, 6), P(34, 54)},
    {P(6, 36), P(34, 54)},
}};

constexpr std::int32_t StateBits = 7;
constexpr std::int32_t Present = status::SensorFlag;
constexpr std::int32_t PresentLow = status::SensorFlag | status::LowPressure;
constexpr std::int32_t PresentHigh = status::SensorFlag | status::HighPressure;
} // namespace

void TyreIcons::drawPart(QPoint origin, Part part, QRgb colour, BrushStyle style) {
    const Box& box = Parts[static_cast<std::size_t>(part)];
    canvas_.setBrushColour(colour);
    canvas_.setBrushStyle(style);
    canvas_.roundRect(origin + box.topLeft, origin + box.bottomRight);
}

void TyreIcons::drawState(QPoint origin, std::int32_t word) {
    const bool hot = (word & status::HighTemperature) != 0;
    const QRgb coreColour = hot ? colour::Red : colour::Black;
    switch (word & StateBits) {
    case Present:
        drawPart(origin, Part::Outer, colour::Lime);
        drawPart(origin, Part::Ring, colour::White);
        drawPart(origin, Part::Core, coreColour);
        break;
    case PresentLow:
        drawPart(origin, Part::Outer, colour::Red);
        drawPart(origin, Part::Ring, colour::White);
        drawPart(origin, Part::LowCore, coreColour);
        break;
    case PresentHigh:
        drawPart(origin, Part::Outer, colour::Red);
        drawPart(origin, Part::Ring, coreColour);
        break;
    case StateBits: // low and high together: never set by the evaluation
        break;
    default: // sensor flag clear: absent, whatever the other bits say
        drawPart(origin, Part::Outer, colour::Black);
        drawPart(origin, Part::Ring, colour::White);
        drawPart(origin, Part::Ring, colour::Black, BrushStyle::DiagonalCross);
        canvas_.setBrushStyle(BrushStyle::Solid);
        break;
    }
}

void TyreIcons::DrawTyreIcon(int wheel) {
    if (wheel < 0 || wheel >= kShownWheels)
        return;
    const auto w = static_cast<std::size_t>(wheel);
    const std::int32_t word = state_.TyreStatus[w];
    if (word == PreviousStatus[w])
        return;
    PreviousStatus[w] = word;
    canvas_.setPenColour(colour::Black);
    canvas_.setPenWidth(1);
    drawState(layout::VehicleOrigin + IconOffsets[w], word);
}

} // namespace vorn
