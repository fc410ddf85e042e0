#pragma once

#include "display/Colours.h"
#include "display/MonitorScreen.h"
#include "display/SevenSegment.h"

#include <QRect>
#include <algorithm>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::test {

inline QRgb at(const Canvas& canvas, QPoint p) {
    return canvas.image().pixel(p);
}

// The smallest rectangle holding every pixel of `area` that is not white.
inline QRect drawnBounds(const Canvas& canvas, QRect area = {}) {
    area = area.isEmpty() ? canvas.image().rect() : area;
    QRect bounds;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (at(canvas, {x, y}) != colour::White)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

// True when the 16 by 16 square at `corner` holds black and white, nothing else.
inline bool hatched(const Canvas& canvas, QPoint corner) {
    std::set<QRgb> seen;
    for (int i = 0; i < 256; ++i)
        seen.insert(at(canvas, corner + QPoint(i % 16, i / 16)));
    return seen == std::set{colour::Black, colour::White};
}

// Lime, Red, Navy, White, blacK; '?' for any other colour.
inline char letter(QRgb rgb) {
    const std::array colours = {colour::Lime, colour::Red, colour::Navy, colour::White,
                                colour::Black};
    return "LRNWK?"[std::ranges::find(colours, rgb) - colours.begin()];
}

// The lit pixels of `box`, as the colour of each, 0 for white or an outline.
inline std::vector<QRgb> litPixels(const QImage& image, QRect box) {
    std::vector<QRgb> lit;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x) {
            const QRgb p = image.pixel(x, y) | 0xFF000000;
            lit.push_back(
                std::set{colour::Black, colour::White, colour::MediumGrey}.contains(p) ? 0 : p);
        }
    return lit;
}

// The segments of each character a cell can show, by the unit's own
// segment bits: 0x80 A (top), 0x40 B, 0x20 C, 0x10 D, 0x08 E, 0x04 F,
// 0x02 G (middle), 0x01 the point.
inline constexpr std::string_view kCharacters = "0123456789 -";
inline constexpr std::array<std::int32_t, 12> kSegmentMasks{0xFC, 0x60, 0xDA, 0xF2, 0x66, 0xB6,
                                                            0xBE, 0xE4, 0xFE, 0xF6, 0x00, 0x02};

// Reads three cells of a row back from the pixels of `image` (the canvas or
// the window as shown): digits, ' ' blank, '-' minus, '?' anything else, '.'
// after a lit point, then a space and the letter of the lit colour. Each
// cell is found by the box a lit "8." draws there on a scratch canvas, and
// each reading by comparing its lit pixels with the segment masks above
// drawn there.
inline std::string readRow(const QImage& image, int wheel, int row) {
    Canvas scratch;
    SevenSegmentRenderer digits(scratch);
    std::string text;
    QRgb colour = 0;
    for (int column = 0; column < 3; ++column) {
        const int cell = layout::CellNumber(wheel, row, column);
        scratch.takeDirty(); // what earlier cells drew
        digits.DrawDigitCell(0xFF, cell, colour::Lime);
        const QRect box = scratch.takeDirty().boundingRect() & image.rect();
        const std::vector<QRgb> shown = litPixels(image, box);
        const auto lit = std::ranges::find_if(shown, [](QRgb p) { return p != 0; });
        colour = lit == shown.end() ? colour : *lit;
        std::string read = "?";
        for (const std::int32_t point : {0x00, 0x01})
            for (std::size_t i = 0; i < kSegmentMasks.size() && read == "?"; ++i) {
                digits.DrawDigitCell(kSegmentMasks[i] | point, cell,
                                     colour ? colour : colour::Lime);
                if (litPixels(scratch.image(), box) == shown)
                    read = std::string(1, kCharacters[i]) + (point ? "." : "");
            }
        text += read;
    }
    return text + ' ' + letter(colour);
}
inline std::string readRow(const Canvas& canvas, int wheel, int row) {
    return readRow(canvas.image(), wheel, row);
}

// A screen as the window holds it, over a table whose status words the test
// sets as the monitor would.
struct ScreenRig {
    Canvas canvas;
    TyreStateTable state;
    MonitorSettings settings;
    MonitorScreen screen{canvas, state, settings};

    // `wheel` reads `p` and `t` with status word `word`; then a refresh.
    void show(int wheel, std::int32_t p, std::int32_t t, std::int32_t word) {
        state.TyrePressure[wheel] = p;
        state.TyreTemperature[wheel] = t;
        state.TyreStatus[wheel] = word;
        screen.RefreshDisplay(0);
    }
};

} // namespace vorn::test
