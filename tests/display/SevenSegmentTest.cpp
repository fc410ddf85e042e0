#include "display/SevenSegment.h"

#include "tests/display/ScreenProbe.h"

#include <climits>
#include <gtest/gtest.h>

namespace vorn {
namespace {

using test::at;

constexpr std::int32_t Eight = 0xFE, One = 0x60, Minus = 0x02;

// An "8" overdrawn by a minus leaves grey outlines with white insides.
TEST(SevenSegment, SegmentsOfCellZeroLandOnTheirPixelsAndUnlitOnesTurnGrey) {
    Canvas canvas, one;
    SevenSegmentRenderer digits(canvas);
    digits.DrawDigitCell(0x80, 0, colour::Lime);
    EXPECT_EQ(test::drawnBounds(canvas), QRect(QPoint(20, 27), QPoint(42, 32)));
    EXPECT_EQ(at(canvas, {30, 28}), colour::Lime);
    SevenSegmentRenderer(one).DrawDigitCell(One, 0, colour::Lime);
    EXPECT_EQ(at(one, {42, 27}), colour::Black); // B's corner (22.8, -3.4) lands on (22, -4)
    digits.DrawDigitCell(Eight, 0, colour::Lime);
    digits.DrawDigitCell(Minus, 0, colour::Lime);
    EXPECT_EQ(test::readRow(canvas, 0, 0), "-   L");
    EXPECT_EQ(at(canvas, {30, 28}), colour::White);      // A inside
    EXPECT_EQ(at(canvas, {23, 27}), colour::MediumGrey); // A outline
}

TEST(SevenSegment, DrawsOnlyWhatChanged) {
    Canvas canvas;
    SevenSegmentRenderer digits(canvas);
    auto opsFor = [&](std::int32_t code, QRgb colour) { // an outline and a fill per segment
        const auto before = canvas.paintCount();
        digits.DrawDigitCell(code, 7, colour);
        return canvas.paintCount() - before;
    };
    EXPECT_EQ(opsFor(0x00, colour::Lime), 0u); // blank into a fresh cell
    EXPECT_EQ(opsFor(One, colour::Lime), 4u);
    EXPECT_EQ(opsFor(One, colour::Lime), 0u);
    EXPECT_EQ(opsFor(One, colour::Red), 4u);
    EXPECT_EQ(opsFor(Eight, colour::Red), 10u);
    digits.setDecimalPointRequest(2);
    EXPECT_EQ(opsFor(Eight, colour::Red), 0u);
    digits.setDecimalPointRequest(1);
    EXPECT_EQ(opsFor(Eight, colour::Red), 2u);
    EXPECT_EQ(test::readRow(canvas, 1, 0), " 8.  R");
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

} // namespace
} // namespace vorn
