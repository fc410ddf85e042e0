#include "display/StatusIcons.h"

#include "display/Colours.h"
#include "display/ScreenLayout.h"

namespace vorn {

namespace {
using P = QPoint;

// A mast 30 pixels high under an inverted triangle, in canvas points.
constexpr std::array Antenna = {P(70, 205), P(70, 175), P(55, 175),
                                P(70, 185), P(85, 175), P(70, 175)};
constexpr int AntennaPenWidth = 3;

// Battery icon origins as offsets from the vehicle origin, by wheel.
constexpr std::array<P, kShownWheels> BatteryOffsets = {P(-100, 103), P(85, 103),   P(-100, 269),
                                                        P(85, 269),   P(-100, 449), P(85, 449)};
constexpr std::array BatteryBody = {P(0, 25), P(0, 5),  P(5, 5),   P(5, 0), P(10, 0),
                                    P(10, 5), P(15, 5), P(15, 25), P(0, 25)};
constexpr std::array BatteryPlate = {P(2, 7), P(13, 7), P(13, 23), P(2, 23), P(2, 7)};

template <std::size_t N> std::array<P, N> movedBy(const std::array<P, N>& points, P origin) {
    std::array<P, N> moved{};
    for (std::size_t i = 0; i < N; ++i)
        moved[i] = points[i] + origin;
    return moved;
}
} // namespace

void StatusIcons::DrawAntennaIcon(std::int32_t blinkPhase) {
    if (blinkPhase == AntennaState)
        return;
    AntennaState = blinkPhase;
    canvas_.setPenColour(blinkPhase == 1 ? colour::Black : colour::White);
    canvas_.setPenWidth(AntennaPenWidth);
    canvas_.polyline(Antenna);
    canvas_.setPenColour(colour::Black);
    canvas_.setPenWidth(1);
}

// The pen width is left as it is: everything before leaves it 1 pixel wide.
void StatusIcons::DrawBatteryIcon(int wheel) {
    if (wheel < 0 || wheel >= kShownWheels)
        return;
    const auto w = static_cast<std::size_t>(wheel);
    const std::int32_t battery = state_.TyreBattery[w];
    if (battery == BatteryIconState[w])
        return;
    BatteryIconState[w] = battery;
    canvas_.setPenColour(BatteryLow(battery) ? colour::Black : colour::White);
    const P origin = layout::VehicleOrigin + BatteryOffsets[w];
    canvas_.polyline(movedBy(BatteryBody, origin));
    canvas_.polyline(movedBy(BatteryPlate, origin));
}

} // namespace vorn
