#include "display/Canvas.h"

#include "display/Colours.h"

#include <QPainter>
#include <utility>

namespace vorn {

namespace {
constexpr qreal kCornerRadius = 5; // a 10 by 10 corner ellipse

Qt::BrushStyle qtStyle(BrushStyle style) {
    return style == BrushStyle::DiagonalCross ? Qt::DiagCrossPattern : Qt::SolidPattern;
}

// The box from `topLeft` up to `bottomRight`, right and bottom edge excluded;
// a one-pixel aliased pen covers a QRect's right edge plus one.
QRect boxBetween(QPoint topLeft, QPoint bottomRight) {
    return {topLeft.x(), topLeft.y(), bottomRight.x() - topLeft.x() - 1,
            bottomRight.y() - topLeft.y() - 1};
}
} // namespace

Canvas::Canvas()
    : image_(Width, Height, QImage::Format_RGB32), penColour_(colour::Black),
      brushColour_(colour::White) {
    image_.fill(Qt::white);
    updateTile();
}

void Canvas::setBrushColour(QRgb colour) {
    if (colour == brushColour_)
        return;
    brushColour_ = colour;
    updateTile();
}

void Canvas::setBrushStyle(BrushStyle style) {
    if (style == brushStyle_)
        return;
    brushStyle_ = style;
    updateTile();
}

// The fill paints from an 8 by 8 tile that QPainter itself drew with the
// brush, so a hatched fill lines up with a hatched shape.
void Canvas::updateTile() {
    if (brushStyle_ == BrushStyle::Solid) {
        tile_.fill(brushColour_);
        return;
    }
    QImage tile(8, 8, QImage::Format_RGB32);
    {
        QPainter painter(&tile);
        painter.setBackgroundMode(Qt::OpaqueMode);
        painter.setBackground(QColor(colour::White));
        painter.fillRect(tile.rect(), QBrush(QColor(brushColour_), qtStyle(brushStyle_)));
    }
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            tile_[static_cast<std::size_t>(y * 8 + x)] = tile.pixel(x, y);
}

QRegion Canvas::takeDirty() {
    return std::exchange(dirty_, QRegion());
}

void Canvas::markDirty(QRect box) {
    const QRect clipped = box & image_.rect();
    if (!clipped.isEmpty())
        dirty_ += clipped;
}

void Canvas::setUpPainter(QPainter& painter) const {
    painter.setRenderHint(QPainter::Antialiasing, false);
    // A wide pen ends and turns round, like the unit's original pens.
    const bool wide = penWidth_ > 1;
    painter.setPen(QPen(QColor(penColour_), penWidth_, Qt::SolidLine,
                        wide ? Qt::RoundCap : Qt::SquareCap, wide ? Qt::RoundJoin : Qt::MiterJoin));
    painter.setBrush(QBrush(QColor(brushColour_), qtStyle(brushStyle_)));
    // White between the hatch lines, whatever lay below.
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(QColor(colour::White));
}

// `box` holds the shape's geometry; the pen may reach its width beyond it.
template <class Draw> void Canvas::paint(QRect box, Draw&& draw) {
    QPainter painter(&image_);
    setUpPainter(painter);
    draw(painter);
    ++paintCount_;
    markDirty(box.normalized().adjusted(-penWidth_, -penWidth_, penWidth_ + 1, penWidth_ + 1));
}

void Canvas::polyline(std::span<const QPoint> points) {
    if (points.empty())
        return;
    QRect box(points.front(), points.front());
    for (const QPoint& p : points)
        box |= QRect(p, p);
    paint(box, [&](QPainter& painter) {
        painter.drawPolyline(points.data(), static_cast<int>(points.size()));
    });
}

void Canvas::ellipse(QPoint topLeft, QPoint bottomRight) {
    const QRect box = boxBetween(topLeft, bottomRight);
    paint(box, [&](QPainter& painter) { painter.drawEllipse(box); });
}

void Canvas::roundRect(QPoint topLeft, QPoint bottomRight) {
    const QRect box = boxBetween(topLeft, bottomRight);
    paint(box,
          [&](QPainter& painter) { painter.drawRoundedRect(box, kCornerRadius, kCornerRadius); });
}

void Canvas::floodFill(QPoint seed, QRgb border) {
    if (filler_.fill(image_, seed, border, tile_) == 0)
        return;
    ++paintCount_;
    markDirty(filler_.paintedBounds());
}

} // namespace vorn
