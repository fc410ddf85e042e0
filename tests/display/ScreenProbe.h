#pragma once

#include "display/MonitorScreen.h"

#include <QRect>
#include <string>
#include <vector>

namespace vorn::test {

inline QRgb at(const Canvas& canvas, int x, int y) {
    return canvas.image().pixel(x, y);
}

// The smallest rectangle holding every pixel of `area` that is not white.
inline QRect drawnBounds(const Canvas& canvas, QRect area = {0, 0, 480, 476}) {
    QRect bounds;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (at(canvas, x, y) != 0xFFFFFFFF)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

// Black pixels in the 16 by 16 square at `corner`; -1 when any pixel is
// neither black nor white.
inline int hatchBlack(const Canvas& canvas, QPoint corner) {
    int black = 0;
    for (int y = corner.y(); y < corner.y() + 16; ++y)
        for (int x = corner.x(); x < corner.x() + 16; ++x) {
            if (at(canvas, x, y) != 0xFFFFFFFF && at(canvas, x, y) != 0xFF000000)
                return -1;
            black += at(canvas, x, y) == 0xFF000000;
        }
    return black;
}

// Origin of a digit cell, worked out here rather than taken from the code.
inline QPoint cellOrigin(int wheel, int row, int column) {
    const int pairY[] = {0, 0, 260, 260, 440, 440};
    return {20 + 36 * column + (wheel % 2) * 330, 31 + 60 * row + pairY[wheel]};
}

struct Reading {
    std::string text; // digits, ' ' blank, '-' minus, '.' after a lit point
    QRgb colour = 0;  // of the lit segments
};

// Reads three cells back from the pixels: a segment is lit when the pixel
// where its fill starts is neither white nor black.
inline Reading readRow(const Canvas& canvas, int wheel, int row) {
    // Fill points of DP, G, F, E, D, C, B, A from the cell origin.
    const QPoint seeds[] = {{30, 40}, {10, 18}, {0, 15},  {0, 30},
                            {10, 36}, {20, 30}, {20, 10}, {10, -3}};
    // Lit segments as A=64 down to G=1; '?' for any other shape.
    const char shapes[] = "0123456789 -";
    const int masks[] = {0x7E, 0x30, 0x6D, 0x79, 0x33, 0x5B, 0x5F, 0x72, 0x7F, 0x7B, 0, 1};
    Reading reading;
    for (int column = 0; column < 3; ++column) {
        const QPoint origin = cellOrigin(wheel, row, column);
        int lit = 0;
        for (int bit = 0; bit < 8; ++bit) {
            const QPoint p = origin + seeds[bit];
            if (at(canvas, p.x(), p.y()) == 0xFFFFFFFF || at(canvas, p.x(), p.y()) == 0xFF000000)
                continue;
            reading.colour = at(canvas, p.x(), p.y());
            lit |= 1 << bit;
        }
        char c = '?';
        for (int i = 0; i < 12; ++i)
            c = masks[i] == lit >> 1 ? shapes[i] : c;
        reading.text += c;
        if (lit & 1)
            reading.text += '.';
    }
    return reading;
}

// Records what the display tells the window.
class RecordingEffects : public MonitorEffects {
public:
    void setBrandCaption(std::string_view caption) override { brandCaptions.emplace_back(caption); }
    void setBrandColour(PanelColour colour) override { brand = colour; }
    PanelColour brandColour() const override { return brand; }
    void setCalibrationCaption(std::string_view text) override {
        calibrationCaptions.emplace_back(text);
    }
    void setCalibrationColour(PanelColour colour) override { calibration = colour; }
    void setFactoryColour(PanelColour) override {}
    void setFrequencyText(std::string_view) override {}
    void playTone(int hz, int ms) override { tones.emplace_back(hz, ms); }

    PanelColour brand = PanelColour::SkyBlue;
    PanelColour calibration = PanelColour::ButtonFace;
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

    void report(int wheel, std::int32_t p, std::int32_t t, bool sensor = true) {
        state.StoreSensorReport(wheel, 0, sensor, p, t);
    }
    void ticks(int n) {
        for (int i = 0; i < n; ++i)
            screen.Timer1Timer();
    }
};

} // namespace vorn::test
