#include "display/Colours.h"
#include "tests/display/ScreenProbe.h"

#include <array>
#include <climits>
#include <gtest/gtest.h>

namespace vorn {
namespace {

using test::at;

// A closed diamond with diagonal edges, which a 4-connected fill must not
// cross, and a red bar across it from wall to wall.
void drawDiamondAndBar(Canvas& canvas) {
    const std::array<QPoint, 5> diamond = {QPoint(100, 50), QPoint(150, 100), QPoint(100, 150),
                                           QPoint(50, 100), QPoint(100, 50)};
    const std::array<QPoint, 2> bar = {QPoint(51, 100), QPoint(149, 100)};
    canvas.polyline(diamond);
    canvas.setPenColour(colour::Red);
    canvas.polyline(bar);
}

TEST(Canvas, FillStaysInsideItsBorderAndPassesThroughItsOwnColour) {
    Canvas canvas;
    drawDiamondAndBar(canvas);
    canvas.takeChanged();
    canvas.setBrushColour(colour::Red);
    const auto ops = canvas.paintCount();
    for (QPoint seed : {QPoint(-1, 0), QPoint(480, 10), QPoint(10, 476), QPoint(INT_MIN, INT_MAX),
                        QPoint(100, 50)})
        canvas.floodFill(seed, colour::Black);
    EXPECT_EQ(canvas.paintCount(), ops);
    EXPECT_FALSE(canvas.takeChanged());

    canvas.floodFill({100, 80}, colour::Black);
    EXPECT_TRUE(canvas.takeChanged());
    EXPECT_EQ(at(canvas, 100, 52), colour::Red);
    EXPECT_EQ(at(canvas, 100, 148), colour::Red); // beyond the red bar
    EXPECT_EQ(at(canvas, 60, 60), colour::White);

    canvas.setBrushColour(colour::Blue);
    canvas.floodFill({479, 475}, colour::Black);
    for (QPoint p : {QPoint(0, 0), QPoint(479, 0), QPoint(0, 475), QPoint(60, 60)})
        EXPECT_EQ(at(canvas, p.x(), p.y()), colour::Blue);
    EXPECT_EQ(at(canvas, 100, 100), colour::Red);
}

TEST(Canvas, CrossHatchShowsWhiteBetweenBlackLinesInShapesAndFills) {
    Canvas canvas;
    canvas.setBrushColour(colour::Red);
    canvas.roundRect({10, 10}, {60, 60});
    drawDiamondAndBar(canvas);
    canvas.setBrushColour(colour::Black);
    canvas.setBrushStyle(BrushStyle::DiagonalCross);
    canvas.roundRect({10, 10}, {60, 60});
    canvas.floodFill({100, 120}, colour::Black);
    for (QPoint corner : {QPoint(20, 20), QPoint(92, 110)}) {
        EXPECT_GT(test::hatchBlack(canvas, corner), 32);
        EXPECT_LT(test::hatchBlack(canvas, corner), 128);
    }
}

} // namespace
} // namespace vorn
