#include "display/SevenSegment.h"

#include "display/Colours.h"
#include "tests/display/ScreenProbe.h"

#include <climits>
#include <gtest/gtest.h>
#include <random>

namespace vorn {
namespace {

using test::at;

constexpr std::int32_t Eight = 0xFE, One = 0x60, Minus = 0x02;

TEST(SevenSegment, SegmentsOfCellZeroLandOnTheirPixels) {
    Canvas canvas;
    SevenSegmentRenderer(canvas).DrawDigitCell(0x80, 0, colour::Lime);
    EXPECT_EQ(test::drawnBounds(canvas), QRect(QPoint(20, 27), QPoint(42, 32)));
    EXPECT_EQ(at(canvas, 30, 28), colour::Lime);
    Canvas one;
    SevenSegmentRenderer(one).DrawDigitCell(One, 0, colour::Lime);
    EXPECT_EQ(at(one, 42, 27), colour::Black); // B's corner (22.8, -3.4) lands on (22, -4)
}

TEST(SevenSegment, DrawsOnlyWhatChanged) {
    Canvas canvas;
    SevenSegmentRenderer digits(canvas);
    auto opsFor = [&](std::int32_t code, QRgb colour) {
        const auto before = canvas.paintCount();
        digits.DrawDigitCell(code, 7, colour);
        return canvas.paintCount() - before;
    };
    EXPECT_EQ(opsFor(0x00, colour::Lime), 0u); // blank into a fresh cell
    EXPECT_EQ(opsFor(One, colour::Lime), 4u);  // outline and fill of B and C
    EXPECT_EQ(opsFor(One, colour::Lime), 0u);
    EXPECT_EQ(opsFor(One, colour::Red), 4u);
    EXPECT_EQ(opsFor(Eight, colour::Red), 10u);
    digits.setDecimalPointRequest(2);
    EXPECT_EQ(opsFor(Eight, colour::Red), 0u);
    digits.setDecimalPointRequest(1);
    EXPECT_EQ(opsFor(Eight, colour::Red), 2u);
    EXPECT_EQ(test::readRow(canvas, 1, 0).text, " 8. ");
}

TEST(SevenSegment, EightThenMinusLeavesGreyOutlinesWithWhiteInsides) {
    Canvas canvas;
    SevenSegmentRenderer digits(canvas);
    digits.DrawDigitCell(Eight, 0, colour::Lime);
    digits.DrawDigitCell(Minus, 0, colour::Lime);
    EXPECT_EQ(test::readRow(canvas, 0, 0).text, "-  ");
    EXPECT_EQ(at(canvas, 30, 28), colour::White);      // A inside
    EXPECT_EQ(at(canvas, 23, 27), colour::MediumGrey); // A outline
}

TEST(SevenSegment, OutOfRangeCallsDrawNothing) {
    Canvas canvas;
    SevenSegmentRenderer digits(canvas);
    digits.DrawDigitCell(Eight, -1, colour::Lime);
    digits.DrawDigitCell(Eight, 36, colour::Lime);
    digits.DrawDigitCell(Eight, 0, 0);
    for (int bit : {-1, 8, 1000})
        digits.DrawSegment(20, 31, bit);
    digits.DrawSegment(INT_MAX, INT_MIN, 3);
    EXPECT_EQ(canvas.paintCount(), 0u);
}

// Any sequence of glyphs and colours keeps every fill inside its own cell.
TEST(SevenSegment, FillsNeverLeaveTheirCell) {
    Canvas canvas;
    SevenSegmentRenderer digits(canvas);
    std::mt19937 random(7);
    const QRgb colours[] = {colour::Lime, colour::Red, colour::Navy};
    for (int i = 0; i < 3000; ++i) {
        digits.setDecimalPointRequest(static_cast<std::int32_t>(random() % 2));
        digits.DrawDigitCell(static_cast<std::int32_t>(random() % 256),
                             static_cast<int>(random() % 36), colours[random() % 3]);
    }
    QImage cellsCleared = canvas.image();
    for (int cell = 0; cell < 36; ++cell) {
        const QPoint o = test::cellOrigin(cell / 6, cell / 3 % 2, cell % 3);
        for (int y = o.y() - 4; y <= std::min(o.y() + 41, Canvas::Height - 1); ++y)
            for (int x = o.x() - 2; x <= o.x() + 31; ++x)
                cellsCleared.setPixel(x, y, colour::White);
    }
    EXPECT_TRUE(cellsCleared == Canvas().image());
}

} // namespace
} // namespace vorn
