#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <array>
#include <cstdint>
#include <vector>

namespace vorn {

// Scanline flood fill on an RGB32 image, 4-connected and bounded by one exact
// colour. Qt has none; outlines drawn with QPainter are 8-connected, so a
// 4-connected fill never leaks through a diagonal step of an outline.
class FloodFill {
public:
    // The colour of each pixel of an 8 by 8 tile, repeated across the image.
    using Tile = std::array<QRgb, 64>;

    // Paints every pixel connected to `seed` that is not `border`, taking its
    // colour from `tile` at the pixel's position. Returns the number of pixels
    // painted; a seed outside the image or on the border paints nothing.
    int fill(QImage& image, QPoint seed, QRgb border, const Tile& tile);
    // The box of the pixels the last fill painted; empty when it painted none.
    QRect paintedBounds() const { return {QPoint(left_, top_), QPoint(right_, bottom_)}; }

private:
    struct Span {
        int x1;
        int x2;
        int y;
        int dy;
    };

    // Clears the marks of the last fill, which all lie in its painted box.
    void clearMarks(int width);

    // One bit per pixel, set for the pixels the current fill has painted, so
    // a fill passes through pixels that already have the brush colour and
    // still ends. All clear between fills.
    std::vector<std::uint64_t> visited_;
    std::vector<Span> stack_;
    int left_ = 0, top_ = 0, right_ = -1, bottom_ = -1;
};

} // namespace vorn
