#include "tests/display/ScreenProbe.h"

#include <array>
#include <climits>
#include <gtest/gtest.h>

namespace vorn {
namespace {

using test::at;

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

} // namespace
} // namespace vorn
