#include "display/ScreenPicture.h"

#include "display/StatusIcons.h"
#include "tests/display/ScreenProbe.h"

#include <gtest/gtest.h>

namespace vorn {
namespace {

using test::at;
using test::drawnBounds;

// Fill points and suspension lines, from the vehicle origin (232, 8).
TEST(ScreenPicture, CarHasItsColoursAtEveryFillPointAndItsExtent) {
    Canvas canvas;
    ScreenPicture(canvas).DrawStaticScreen();
    const std::pair<QPoint, QRgb> points[] = {
        {{-30, 10}, colour::Blue},   {{30, 10}, colour::Blue},     {{-12, 4}, colour::Blue},
        {{0, 20}, colour::Silver},   {{-50, 200}, colour::Silver}, {{50, 200}, colour::Silver},
        {{0, 175}, colour::Grey},    {{0, 200}, colour::Yellow},   {{0, 250}, colour::Yellow},
        {{0, 100}, colour::Red},     {{0, 300}, colour::Red},      {{-75, 280}, colour::Red},
        {{75, 280}, colour::Red},    {{-80, 180}, colour::Blue},   {{80, 180}, colour::Blue},
        {{0, 380}, colour::Green},   {{0, 395}, colour::Maroon},   {{-30, 92}, colour::Black},
        {{30, 92}, colour::Black},   {{-30, 78}, colour::Black},   {{30, 78}, colour::Black},
        {{-30, 350}, colour::Black}, {{30, 350}, colour::Black},
    };
    for (const auto& [offset, expected] : points)
        EXPECT_EQ(at(canvas, QPoint(232, 8) + offset), expected) << offset.x() << "," << offset.y();
    // The rear wing spans X 149 to 315; the corners of the side-pod edges
    // stand two pixels further out.
    EXPECT_EQ(drawnBounds(canvas), QRect(QPoint(147, 4), QPoint(317, 405)));
    EXPECT_EQ(drawnBounds(canvas, {0, 381, 480, 25}), QRect(QPoint(149, 381), QPoint(315, 405)));
}

// The battery icon of wheel 1 shows while its value is not 0; the antenna
// shows in blink phase 1. Both leave the pen black and 1 pixel wide.
TEST(StatusIcons, BatteryShowsWhileItsValueIsNotZeroAndAntennaInBlinkPhaseOne) {
    Canvas canvas;
    TyreStateTable state;
    StatusIcons icons(canvas, state);
    icons.DrawBatteryIcon(1); // value 0 at start: drawn in white
    EXPECT_TRUE(drawnBounds(canvas).isNull());
    state.TyreBattery[1] = 3;
    icons.DrawBatteryIcon(1);
    EXPECT_EQ(drawnBounds(canvas), QRect(QPoint(317, 111), QPoint(332, 136)));
    EXPECT_EQ(at(canvas, {319, 125}), colour::Black); // inner plate
    state.TyreBattery[1] = 0;
    icons.DrawBatteryIcon(1);
    EXPECT_TRUE(drawnBounds(canvas).isNull());
    for (int phase : {1, 1, 0}) {
        icons.DrawAntennaIcon(phase);
        EXPECT_EQ(drawnBounds(canvas).isNull(), phase == 0);
    }
    EXPECT_EQ(canvas.penColour(), colour::Black);
    EXPECT_EQ(canvas.penWidth(), 1);
}

} // namespace
} // namespace vorn
