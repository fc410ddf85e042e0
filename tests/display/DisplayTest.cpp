// The drawing of the screen read back from its pixels: the canvas and its
// flood fill, the seven-segment digits, the car, the icons and the wheels.
#include "display/ScreenPicture.h"
#include "display/StatusIcons.h"
#include "tests/display/ScreenProbe.h"

#include <climits>
#include <cstring>
#include <gtest/gtest.h>

namespace vorn {
namespace {

using test::at;
using test::drawnBounds;

// A closed diamond with diagonal edges, which a 4-connected fill must not
// cross, and a red bar across it from wall to wall.
TEST(Canvas, FillStaysInsideItsBorderAndPassesThroughItsOwnColour) {
    Canvas canvas;
    canvas.polyline(std::array{QPoint(100, 50), QPoint(150, 100), QPoint(100, 150), QPoint(50, 100),
                               QPoint(100, 50)});
    canvas.setPenColour(colour::Red);
    canvas.polyline(std::array{QPoint(51, 100), QPoint(149, 100)});
    canvas.takeDirty();
    canvas.setBrushColour(colour::Red);
    // Seeds off the image, or on the border, fill nothing.
    for (QPoint seed :
         {QPoint(480, 0), QPoint(0, 600), QPoint(-1, 10), QPoint(INT_MIN, 0), QPoint(100, 50)})
        canvas.floodFill(seed, colour::Black);
    EXPECT_TRUE(canvas.takeDirty().isEmpty());

    canvas.floodFill({100, 80}, colour::Black);
    EXPECT_EQ(canvas.takeDirty(), QRegion(QRect(QPoint(51, 51), QPoint(149, 149))));
    EXPECT_EQ(at(canvas, {100, 52}), colour::Red);
    EXPECT_EQ(at(canvas, {100, 148}), colour::Red); // beyond the red bar
    EXPECT_EQ(at(canvas, {60, 60}), colour::White);

    // Outside, a hatched fill reaches every corner and leaves the diamond alone.
    canvas.setBrushColour(colour::Black);
    canvas.setBrushStyle(BrushStyle::DiagonalCross);
    canvas.floodFill({479, 475}, colour::Black);
    for (QPoint corner : {QPoint(0, 0), QPoint(464, 0), QPoint(0, 460), QPoint(464, 460)})
        EXPECT_TRUE(test::hatched(canvas, corner)) << corner.x() << "," << corner.y();
    EXPECT_EQ(at(canvas, {100, 80}), colour::Red);
}

constexpr std::int32_t Eight = 0xFE, One = 0x60, Minus = 0x02;

// An "8" overdrawn by a minus leaves grey outlines with white insides.
TEST(SevenSegment, SegmentsOfCellZeroLandOnTheirPixelsAndUnlitOnesTurnGrey) {
    Canvas canvas, one;
    SevenSegmentRenderer digits(canvas);
    digits.DrawDigitCell(0x80, 0, colour::Lime);
    EXPECT_EQ(drawnBounds(canvas), QRect(QPoint(20, 27), QPoint(42, 32)));
    EXPECT_EQ(at(canvas, {30, 28}), colour::Lime);
    SevenSegmentRenderer(one).DrawDigitCell(One, 0, colour::Lime);
    EXPECT_EQ(at(one, {42, 27}), colour::Black); // B's corner (22.8, -3.4) lands on (22, -4)
    digits.DrawDigitCell(Eight, 0, colour::Lime);
    digits.DrawDigitCell(Minus, 0, colour::Lime);
    EXPECT_EQ(test::readRow(canvas, 0, 0), "-   L");
    EXPECT_EQ(at(canvas, {30, 28}), colour::White);      // A inside
    EXPECT_EQ(at(canvas, {23, 27}), colour::MediumGrey); // A outline
}

// Cells outside 0 to 35, a colour of 0, bits outside 0 to 7 and far origins.
TEST(SevenSegment, OutOfRangeCallsDrawNothing) {
    Canvas canvas;
    SevenSegmentRenderer digits(canvas);
    digits.DrawDigitCell(Eight, -1, colour::Lime);
    digits.DrawDigitCell(Eight, 36, colour::Lime);
    digits.DrawDigitCell(Eight, 0, 0);
    digits.DrawSegment(20, 31, -1);
    digits.DrawSegment(20, 31, 8);
    digits.DrawSegment(INT_MAX, INT_MIN, 3);
    EXPECT_EQ(canvas.paintCount(), 0u);
}

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
    // A view made when a battery is already low shows it at once.
    state.TyreBattery[1] = 1;
    StatusIcons later(canvas, state);
    later.DrawBatteryIcon(1);
    EXPECT_EQ(at(canvas, {319, 125}), colour::Black);
    state.TyreBattery[1] = 0;
    later.DrawBatteryIcon(1);
    for (int phase : {1, 1, 0}) {
        icons.DrawAntennaIcon(phase);
        EXPECT_EQ(drawnBounds(canvas).isNull(), phase == 0);
    }
    EXPECT_EQ(canvas.penColour(), colour::Black);
    EXPECT_EQ(canvas.penWidth(), 1);
}

using namespace status;

// Wheel 0 drawn from its reading and the status word the monitor gave it:
// each row read back from the pixels with its colour (Lime, Red when the
// word has the row's alarm bit, Navy dashes without a reading), and its tyre
// icon probed in the outer band, the ring band, the upper and the lower core
// (as Lime, White, blacK or Red).
TEST(WheelDrawing, DigitsAndTyreIconFollowTheReadingAndTheStatusWord) {
    const struct {
        std::int32_t unit, p, t, word;
        const char *pressure, *temperature, *icon;
    } rows[] = {
        {0, 64, 60, SensorFlag, "32.0 L", " 20 L", "LWKK"},
        {1, 64, 140, SensorFlag | HighTemperature, "2.20 L", "100 R", "LWRR"},
        {0, 19, 25, SensorFlag | LowPressure, "09.5 R", "-15 L", "RWWK"},
        {0, 51, 111, SensorFlag | LowPressure | HighTemperature, "25.5 R", " 71 R", "RWWR"},
        {0, 51, 111, SensorFlag, "25.5 L", " 71 L", "LWKK"}, // the same digits, lit anew
        {3, 289, 40, SensorFlag | HighPressure, "10.1 R", " 00 L", "RKKK"},
        {0, 201, 111, SensorFlag | HighPressure | HighTemperature, "100 R", " 71 R", "RRRR"},
        {2, 400, 199, 0, "--- N", "--- N", "K"}, // absent: black, hatched inside
    };
    test::ScreenRig rig;
    for (const auto& r : rows) {
        rig.settings.PressureUnitIndex = r.unit;
        rig.show(0, r.p, r.t, r.word);
        EXPECT_EQ(test::readRow(rig.canvas, 0, 0), r.pressure) << r.p;
        EXPECT_EQ(test::readRow(rig.canvas, 0, 1), r.temperature) << r.t;
        std::string icon;
        for (QPoint probe : {QPoint(133, 78), QPoint(136, 78), QPoint(152, 70), QPoint(152, 95)})
            icon += test::letter(at(rig.canvas, probe));
        EXPECT_EQ(icon.substr(0, std::strlen(r.icon)), r.icon) << r.word;
    }
    EXPECT_TRUE(test::hatched(rig.canvas, {140, 60}));
}

TEST(WheelDrawing, ASteadyScreenDrawsNothingAndTheAntennaFollowsTheBlinkPhase) {
    test::ScreenRig rig;
    rig.screen.DrawStaticScreen();
    rig.state.TyreBattery[3] = 3;
    rig.show(1, 64, 60, 0);
    const auto ops = rig.canvas.paintCount();
    rig.screen.RefreshDisplay(0);
    EXPECT_EQ(rig.canvas.paintCount(), ops);
    rig.screen.RefreshDisplay(1);
    EXPECT_EQ(at(rig.canvas, {70, 190}), colour::Black);
}

} // namespace
} // namespace vorn
