#include "display/SevenSegment.h"

#include "display/Colours.h"

namespace vorn {

namespace {

struct Factor {
    double x;
    double y;
};

// A segment's closed outline as corner factors (the last corner repeats the
// first) and a point inside it from which the fill starts.
struct SegmentShape {
    std::array<Factor, 7> corners;
    int count;
    QPoint seed;
};

// Indexed by segment bit. The digits lean to the right.
constexpr std::array<SegmentShape, SegmentBits> Segments = {{
    {{{{26, 36}, {26, 41}, {31, 41}, {31, 36}, {26, 36}}}, 5, {30, 40}}, // DP
    {{{{2, 17.5}, {6, 15.5}, {18.5, 15.5}, {21.5, 17.5}, {18.5, 20.5}, {6, 20.5}, {2, 17.5}}},
     7,
     {10, 18}},                                                                        // G
    {{{{0, 0}, {-1, 16}, {1, 17}, {5, 15}, {5.9, 2}, {0, 0}}}, 6, {0, 15}},            // F
    {{{{1, 18}, {-1, 20}, {-2, 36}, {0, 39}, {4, 35}, {5, 21}, {1, 18}}}, 7, {0, 30}}, // E
    {{{{0.5, 39.5}, {4.5, 35.5}, {17.5, 35.5}, {21.5, 38.5}, {19.5, 40.5}, {5, 40.5}, {0.5, 39.5}}},
     7,
     {10, 36}},                                                                              // D
    {{{{22, 18}, {19, 21}, {18, 35}, {22, 38}, {24, 35}, {25, 20}, {22, 18}}}, 7, {20, 30}}, // C
    {{{{22.8, -3.4}, {26.4, -1}, {25, 15}, {22, 17}, {19, 15}, {20, 1.5}, {22.8, -3.4}}},
     7,
     {20, 10}},                                                                      // B
    {{{{0.8, -1}, {3, -4}, {22, -4}, {19, 1.8}, {8, 1.8}, {0.8, -1}}}, 6, {10, -3}}, // A
}};

constexpr double Scale = 1;

// Origins further off than this cannot touch the canvas; refusing them keeps
// the conversion of each corner to an integer defined.
constexpr std::int32_t FarOff = 1 << 20;

} // namespace

void SevenSegmentRenderer::DrawSegment(std::int32_t x, std::int32_t y, int bit) {
    if (bit < 0 || bit >= SegmentBits || x < -FarOff || x > FarOff || y < -FarOff || y > FarOff)
        return;
    const SegmentShape& shape = Segments[static_cast<std::size_t>(bit)];
    std::array<QPoint, 7> points{};
    for (int i = 0; i < shape.count; ++i) {
        const Factor f = shape.corners[static_cast<std::size_t>(i)];
        // The sum is truncated, not the factor: (22.8, -3.4) lands on (22, -4).
        points[static_cast<std::size_t>(i)] =
            QPoint(static_cast<int>(x + f.x * Scale), static_cast<int>(y + f.y * Scale));
    }
    canvas_.polyline(std::span<const QPoint>(points.data(), static_cast<std::size_t>(shape.count)));
}

void SevenSegmentRenderer::DrawDigitCell(std::int32_t code, int cell, QRgb colour) {
    if (cell < 0 || cell >= layout::Cells || colour == 0)
        return;
    const QPoint origin = layout::CellOrigins[static_cast<std::size_t>(cell)];
    for (int bit = 0; bit < SegmentBits; ++bit) {
        const bool lit = (code >> bit & 1) != 0 || (bit == 0 && decimalPointRequest_ == 1);
        const QRgb wanted = lit ? colour : 0;
        QRgb& cached = cache_[static_cast<std::size_t>(cell * SegmentBits + bit)];
        if (wanted == cached)
            continue;
        cached = wanted;
        drawSegmentIn(origin, bit, wanted);
    }
}

void SevenSegmentRenderer::drawSegmentIn(QPoint origin, int bit, QRgb wanted) {
    const QRgb border = wanted != 0 ? colour::Black : colour::MediumGrey;
    canvas_.setPenColour(border);
    canvas_.setBrushColour(wanted != 0 ? wanted : colour::White);
    canvas_.setBrushStyle(BrushStyle::Solid);
    DrawSegment(origin.x(), origin.y(), bit);
    canvas_.floodFill(origin + Segments[static_cast<std::size_t>(bit)].seed, border);
}

} // namespace vorn
