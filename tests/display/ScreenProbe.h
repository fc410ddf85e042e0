#pragma once

#include "display/Colours.h"
#include "display/MonitorScreen.h"

#include <QRect>
#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace vorn::test {

inline QRgb at(const Canvas& canvas, QPoint p) {
    return canvas.image().pixel(p);
}

// The smallest rectangle holding every pixel of `area` that is not white.
inline QRect drawnBounds(const Canvas& canvas, QRect area = {0, 0, 480, 476}) {
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

// Origin of a digit cell, worked out here rather than taken from the code.
inline QPoint cellOrigin(int wheel, int row, int column) {
    const int pairY[] = {0, 0, 260, 260, 440, 440};
    return {20 + 36 * column + (wheel % 2) * 330, 31 + 60 * row + pairY[wheel]};
}

// Reads three cells back from the pixels, a segment being lit when the pixel
// where its fill starts is neither white nor black: digits, ' ' blank, '-'
// minus, '?' other shapes, '.' after a lit point, then a space and the
// letter of the lit segments' colour.
inline std::string readRow(const Canvas& canvas, int wheel, int row) {
    // Fill points of DP, G, F, E, D, C, B, A from the cell origin.
    const QPoint seeds[] = {{30, 40}, {10, 18}, {0, 15},  {0, 30},
                            {10, 36}, {20, 30}, {20, 10}, {10, -3}};
    // Lit segments A (64) to G (1) of "0123456789 -".
    const std::array masks = {0x7E, 0x30, 0x6D, 0x79, 0x33, 0x5B, 0x5F, 0x72, 0x7F, 0x7B, 0, 1};
    std::string text;
    QRgb litColour = 0;
    for (int column = 0; column < 3; ++column) {
        int lit = 0;
        for (int bit = 0; bit < 8; ++bit) {
            const QRgb pixel = at(canvas, cellOrigin(wheel, row, column) + seeds[bit]);
            if (pixel != colour::White && pixel != colour::Black) {
                litColour = pixel;
                lit |= 1 << bit;
            }
        }
        text += "0123456789 -?"[std::ranges::find(masks, lit >> 1) - masks.begin()];
        if (lit & 1)
            text += '.';
    }
    return text + ' ' + letter(litColour);
}

// Records what the display tells the window.
struct RecordingEffects : MonitorEffects {
    void setBrandCaption(std::string_view c) override { brandCaptions.emplace_back(c); }
    void setBrandColour(PanelColour c) override { brand = c; }
    PanelColour brandColour() const override { return brand; }
    void setCalibrationCaption(std::string_view c) override { calibrationCaptions.emplace_back(c); }
    void setCalibrationColour(PanelColour c) override { calibration = c; }
    void setFactoryColour(PanelColour) override {}
    void setFrequencyText(std::string_view) override {}
    void playTone(int hz, int ms) override { tones.emplace_back(hz, ms); }

    PanelColour brand = PanelColour::SkyBlue, calibration = PanelColour::ButtonFace;
    std::vector<std::string> brandCaptions, calibrationCaptions;
    std::vector<std::pair<int, int>> tones;
};

// A screen as the window holds it.
struct ScreenRig {
    Canvas canvas;
    TyreStateTable state;
    MonitorSettings settings;
    RecordingEffects effects;
    MonitorScreen screen{canvas, state, settings, effects};

    // A report from `wheel`, then a refresh.
    void report(int wheel, std::int32_t p, std::int32_t t, bool sensor = true) {
        state.StoreSensorReport(wheel, 0, sensor, p, t);
        screen.RefreshDisplay();
    }
    void ticks(int n) {
        for (int i = 0; i < n; ++i)
            screen.Timer1Timer();
    }
};

} // namespace vorn::test
