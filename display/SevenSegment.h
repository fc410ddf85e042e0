#pragma once

#include "display/Canvas.h"
#include "display/ScreenLayout.h"

#include <QRgb>
#include <array>
#include <cstdint>

namespace vorn {

// One bit per segment: 0x80 A (top), 0x40 B, 0x20 C, 0x10 D (bottom), 0x08 E,
// 0x04 F, 0x02 G (middle), 0x01 the decimal point.
inline constexpr std::array<std::int32_t, 20> GlyphTable = {
    0xFC, 0x60, 0xDA, 0xF2, 0x66, 0xB6, 0xBE, 0xE4, 0xFE, 0xF6, // 0 to 9
    0xEE, 0x3E, 0x9C, 0x7A, 0x9E, 0x8E,                         // A b C d E F
    0x00, 0x02, 0xC6, 0xEC,                                     // blank, minus, degree, arch
};

enum class Glyph : int { Blank = 16, Minus = 17, Degree = 18, Arch = 19 };

// The code of glyph `index`; an index outside the table is the blank.
constexpr std::int32_t GlyphCode(int index) {
    return index >= 0 && index < static_cast<int>(GlyphTable.size())
               ? GlyphTable[static_cast<std::size_t>(index)]
               : 0;
}
constexpr std::int32_t GlyphCode(Glyph glyph) {
    return GlyphCode(static_cast<int>(glyph));
}

inline constexpr int SegmentBits = 8;

// Draws liquid-crystal digits into the 36 cells. It remembers the colour each
// segment was last drawn lit with (0 for unlit or never drawn), so a refresh
// redraws only the segments whose look changed.
class SevenSegmentRenderer {
public:
    explicit SevenSegmentRenderer(Canvas& canvas) : canvas_(canvas) {}

    // The outline of segment `bit` of the digit at (x, y), with the current
    // pen; any bit outside 0 to 7 draws nothing.
    void DrawSegment(std::int32_t x, std::int32_t y, int bit);

    // Draws glyph `code` into `cell` in `colour`, segment by segment from the
    // decimal point to A. A cell outside 0 to 35 or a colour of 0 draws nothing.
    void DrawDigitCell(std::int32_t code, int cell, QRgb colour);

    // 1 lights the decimal point of the next cells drawn; any other value
    // leaves it to the glyph code.
    void setDecimalPointRequest(std::int32_t request) { decimalPointRequest_ = request; }

private:
    void drawSegmentIn(QPoint origin, int bit, QRgb wanted);

    Canvas& canvas_;
    std::array<QRgb, layout::Cells * SegmentBits> cache_{};
    std::int32_t decimalPointRequest_ = 0;
};

} // namespace vorn
