#include "display/ScreenPicture.h"

#include "display/Colours.h"
#include "display/ScreenLayout.h"

#include <array>
#include <vector>

namespace vorn {

namespace {
using P = QPoint;

constexpr std::array FrontWingLeft = {P(-13, 20), P(-43, 20), P(-53, 25), P(-73, 25), P(-73, 30),
                                      P(-78, 30), P(-80, 0),  P(-10, 0),  P(-13, 20)};
constexpr std::array FrontWingRight = {P(10, 0),  P(80, 0),  P(78, 30), P(73, 30), P(73, 25),
                                       P(53, 25), P(43, 20), P(13, 20), P(10, 0)};
constexpr std::array Nose = {P(-16, 62), P(-12, 2), P(-8, -4), P(8, -4),
                             P(12, 2),   P(16, 62), P(-16, 62)};
constexpr std::array Body = {
    P(-22, 372), P(-22, 342), P(-52, 342), P(-52, 292), P(-77, 292), P(-77, 162), P(-69, 142),
    P(-29, 137), P(-21, 112), P(-16, 62),  P(16, 62),   P(21, 112),  P(29, 137),  P(69, 142),
    P(77, 162),  P(77, 292),  P(52, 292),  P(52, 342),  P(22, 342),  P(22, 372),  P(-22, 372)};
constexpr std::array RearWingOuter = {P(-83, 397), P(-83, 367), P(-80, 367),
                                      P(-80, 372), P(80, 372),  P(80, 367),
                                      P(83, 367),  P(83, 397),  P(-83, 397)};
constexpr std::array RearWingInner = {P(-80, 394), P(-80, 372), P(80, 372), P(80, 394),
                                      P(-80, 394)};
constexpr std::array SideInlet = {P(-76, 250), P(-73, 250), P(-73, 288),
                                  P(-48, 288), P(-48, 308), P(-53, 308)};
constexpr std::array FrontSuspension = {P(-18, 60), P(-59, 60), P(-59, 80), P(-22, 100), P(-21, 92),
                                        P(-53, 76), P(-53, 67), P(-18, 67), P(-18, 60)};
constexpr std::array FrontSuspensionInner = {P(-19, 75), P(-51, 75), P(-43, 79), P(-20, 79),
                                             P(-19, 75)};
constexpr std::array SidePodEdge = {P(-20, 105), P(-30, 105), P(-35, 122),
                                    P(-55, 137), P(-85, 140), P(-78, 292)};
constexpr std::array RearSuspension = {P(-52, 318), P(-59, 318), P(-59, 348),
                                       P(-23, 360), P(-23, 350), P(-50, 342)};
constexpr std::array SidePodInnerEdge = {P(-45, 140), P(-42, 200), P(-36, 230), P(-28, 250),
                                         P(-20, 280), P(-10, 330), P(-15, 372)};
constexpr std::array Cockpit = {P(-10, 280), P(-30, 190), P(30, 190),
                                P(10, 280),  P(0, 290),   P(-10, 280)};
constexpr P HelmetTopLeft(-25, 125);
constexpr P HelmetBottomRight(25, 225);
} // namespace

void ScreenPicture::outline(std::span<const QPoint> offsets, bool mirrored) {
    std::vector<QPoint> points;
    points.reserve(offsets.size());
    for (QPoint offset : offsets)
        points.push_back(layout::VehicleOrigin +
                         QPoint(mirrored ? -offset.x() : offset.x(), offset.y()));
    canvas_.polyline(points);
}

void ScreenPicture::outlineAndMirror(std::span<const QPoint> offsets) {
    outline(offsets);
    outline(offsets, true);
}

void ScreenPicture::fill(std::initializer_list<QPoint> offsets) {
    for (QPoint offset : offsets)
        canvas_.floodFill(layout::VehicleOrigin + offset, colour::Black);
}

// The front wing halves are filled before the nose is outlined, so the parts
// of the wing inside the nose stay blue.
void ScreenPicture::DrawStaticScreen() {
    canvas_.setPenColour(colour::Black);
    canvas_.setPenWidth(1);
    canvas_.setBrushStyle(BrushStyle::Solid);
    canvas_.setBrushColour(colour::Blue);
    outline(FrontWingLeft);
    fill({P(-30, 10)});
    outline(FrontWingRight);
    fill({P(30, 10)});
    outline(Nose);
    canvas_.setBrushColour(colour::Silver);
    fill({P(0, 20)});
    outline(Body);
    outline(RearWingOuter);
    outline(RearWingInner);
    outlineAndMirror(SideInlet);
    outlineAndMirror(FrontSuspension);
    outlineAndMirror(FrontSuspensionInner);
    outlineAndMirror(SidePodEdge);
    outlineAndMirror(RearSuspension);
    outlineAndMirror(SidePodInnerEdge);
    canvas_.setBrushColour(colour::Grey);
    canvas_.ellipse(layout::VehicleOrigin + HelmetTopLeft,
                    layout::VehicleOrigin + HelmetBottomRight);
    fill({P(0, 175)});
    outline(Cockpit);
    canvas_.setBrushColour(colour::Yellow);
    fill({P(0, 200), P(0, 250)});
    canvas_.setBrushColour(colour::Red);
    fill({P(0, 300)});
    canvas_.setBrushColour(colour::Silver);
    fill({P(-50, 200), P(50, 200)});
    canvas_.setBrushColour(colour::Blue);
    fill({P(-80, 180), P(80, 180)});
    canvas_.setBrushColour(colour::Red);
    fill({P(-75, 280), P(75, 280)});
    canvas_.setBrushColour(colour::Green);
    fill({P(0, 380)});
    canvas_.setBrushColour(colour::Maroon);
    fill({P(0, 395)});
    canvas_.setBrushColour(colour::Black);
    fill({P(-30, 92), P(30, 92), P(-30, 78), P(30, 78), P(-30, 350), P(30, 350)});
}

} // namespace vorn
