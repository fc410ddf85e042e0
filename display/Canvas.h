#pragma once

#include "display/FloodFill.h"

#include <QImage>
#include <QPoint>
#include <QRegion>
#include <QRgb>
#include <cstdint>
#include <span>

class QPainter;

namespace vorn {

enum class BrushStyle { Solid, DiagonalCross };

// The drawing surface of the screen replica: a fixed-size image, white at
// start, with a pen and a brush like a classic device context. Antialiasing
// is off, so every outline is a closed one-pixel boundary a fill can stop at.
class Canvas {
public:
    // Tall enough for wheels 4 and 5 down to their unit panels, whether the
    // window shows them or not.
    static constexpr int Width = 480;
    static constexpr int Height = 600;

    Canvas();

    const QImage& image() const { return image_; }
    QImage& image() { return image_; }

    void setPenColour(QRgb colour) { penColour_ = colour; }
    void setPenWidth(int width) { penWidth_ = width < 1 ? 1 : width; }
    void setBrushColour(QRgb colour);
    void setBrushStyle(BrushStyle style);
    QRgb penColour() const { return penColour_; }
    int penWidth() const { return penWidth_; }
    QRgb brushColour() const { return brushColour_; }
    BrushStyle brushStyle() const { return brushStyle_; }

    // Lines through the points with the pen; an outline is closed by ending
    // on its first point.
    void polyline(std::span<const QPoint> points);
    // Outlined with the pen and filled with the brush. The box runs from
    // `topLeft` up to but not including `bottomRight` (the Windows convention
    // the screen was laid out in); Qt may round an ellipse a pixel short.
    void ellipse(QPoint topLeft, QPoint bottomRight);
    // As `ellipse`, a rectangle whose corners are quarters of a 10 by 10 ellipse.
    void roundRect(QPoint topLeft, QPoint bottomRight);
    // Paints with the brush every pixel connected to `seed` (4-connected)
    // that is not of colour `border`. A seed off the image does nothing.
    void floodFill(QPoint seed, QRgb border);

    // Drawing operations so far; a refresh that draws nothing leaves it alone.
    std::uint64_t paintCount() const { return paintCount_; }
    // What was drawn since the last call, as the boxes of the drawing
    // operations; the window repaints just these.
    QRegion takeDirty();

private:
    template <class Draw> void paint(QRect box, Draw&& draw);
    void markDirty(QRect box);
    void setUpPainter(QPainter& painter) const;
    void updateTile();

    QImage image_;
    QRgb penColour_;
    int penWidth_ = 1;
    QRgb brushColour_;
    BrushStyle brushStyle_ = BrushStyle::Solid;
    FloodFill::Tile tile_{};
    FloodFill filler_;
    std::uint64_t paintCount_ = 0;
    QRegion dirty_;
};

} // namespace vorn
