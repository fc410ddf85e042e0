#include "display/ScreenPicture.h"

#include "display/Colours.h"
#include "display/StatusIcons.h"
#include "tests/display/ScreenProbe.h"

#include <gtest/gtest.h>

namespace vorn {
namespace {

using test::at;
using test::drawnBounds;

TEST(ScreenPicture, CarHasItsColoursAtEveryFillPointAndItsExtent) {
    Canvas canvas;
    ScreenPicture(canvas).DrawStaticScreen();
    const struct {
        int dx, dy;
        QRgb colour;
    } points[] = {
        {-30, 10, colour::Blue},  {30, 10, colour::Blue},     {0, 20, colour::Silver},
        {0, 175, colour::Grey},   {0, 200, colour::Yellow},   {0, 250, colour::Yellow},
        {0, 300, colour::Red},    {-50, 200, colour::Silver}, {50, 200, colour::Silver},
        {-80, 180, colour::Blue}, {80, 180, colour::Blue},    {-75, 280, colour::Red},
        {75, 280, colour::Red},   {0, 380, colour::Green},    {0, 395, colour::Maroon},
        {-30, 92, colour::Black}, {30, 92, colour::Black},    {-30, 78, colour::Black},
        {30, 78, colour::Black},  {-30, 350, colour::Black},  {30, 350, colour::Black},
        {-12, 4, colour::Blue}, // wing inside the nose outline stays blue
        {0, 100, colour::Red},
    };
    for (const auto& p : points)
        EXPECT_EQ(at(canvas, 232 + p.dx, 8 + p.dy), p.colour) << p.dx << "," << p.dy;
    // The rear wing spans X 149 to 315; the corners of the side-pod edges
    // stand two pixels further out.
    EXPECT_EQ(drawnBounds(canvas), QRect(QPoint(147, 4), QPoint(317, 405)));
    EXPECT_EQ(drawnBounds(canvas, {0, 381, 480, 25}), QRect(QPoint(149, 381), QPoint(315, 405)));
}

TEST(StatusIcons, BatteryIconFollowsTheBatteryValue) {
    Canvas canvas;
    TyreStateTable state;
    StatusIcons icons(canvas, state);
    icons.DrawBatteryIcon(1); // value 0 at start: drawn in white
    EXPECT_TRUE(drawnBounds(canvas).isNull());
    state.TyreBattery[1] = 3;
    icons.DrawBatteryIcon(1);
    EXPECT_EQ(drawnBounds(canvas), QRect(QPoint(317, 111), QPoint(332, 136)));
    EXPECT_EQ(at(canvas, 319, 125), colour::Black); // inner plate

    const auto ops = canvas.paintCount();
    icons.DrawBatteryIcon(1);
    EXPECT_EQ(canvas.paintCount(), ops);
    state.TyreBattery[1] = 5;
    icons.DrawBatteryIcon(1);
    EXPECT_GT(canvas.paintCount(), ops);
    state.TyreBattery[1] = 0;
    icons.DrawBatteryIcon(1);
    EXPECT_TRUE(drawnBounds(canvas).isNull());
}

TEST(StatusIcons, AntennaBlinksWithThePhaseAndLeavesAThinBlackPen) {
    Canvas canvas;
    TyreStateTable state;
    StatusIcons icons(canvas, state);
    for (int phase : {0, 1, 1, 0}) {
        icons.DrawAntennaIcon(phase);
        EXPECT_EQ(at(canvas, 70, 190), phase == 1 ? colour::Black : colour::White);
        EXPECT_EQ(drawnBounds(canvas).isNull(), phase == 0);
    }
    EXPECT_EQ(canvas.penColour(), colour::Black);
    EXPECT_EQ(canvas.penWidth(), 1);
}

} // namespace
} // namespace vorn
