#include "display/FloodFill.h"

#include <algorithm>

namespace vorn {

namespace {
constexpr QRgb kRgbMask = 0x00FFFFFF;
constexpr QRgb kOpaque = 0xFF000000;
} // namespace

void FloodFill::nextEpoch(std::size_t pixels) {
    if (visited_.size() != pixels) {
        visited_.assign(pixels, 0);
        epoch_ = 0;
    }
    ++epoch_;
    if (epoch_ == 0) { // wrapped: old marks would look current
        std::fill(visited_.begin(), visited_.end(), std::uint16_t{0});
        epoch_ = 1;
    }
}

// Heckbert's span fill: each popped span is scanned once, runs of fillable
// pixels are painted whole, and only the unexplored ends of a run are pushed
// for the row behind.
int FloodFill::fill(QImage& image, QPoint seed, QRgb border, const Tile& tile) {
    const int width = image.width();
    const int height = image.height();
    right_ = bottom_ = -1;
    if (image.depth() != 32 || seed.x() < 0 || seed.y() < 0 || seed.x() >= width ||
        seed.y() >= height)
        return 0;
    nextEpoch(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));

    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    const QRgb stop = border & kRgbMask;
    auto row = [&](int y) { return reinterpret_cast<QRgb*>(bits + y * stride); };
    auto mark = [&](int x, int y) -> std::uint16_t& {
        return visited_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                        static_cast<std::size_t>(x)];
    };
    auto inside = [&](int x, int y) {
        return x >= 0 && x < width && y >= 0 && y < height && (row(y)[x] & kRgbMask) != stop &&
               mark(x, y) != epoch_;
    };
    int painted = 0;
    left_ = width;
    top_ = height;
    right_ = -1;
    bottom_ = -1;
    auto paint = [&](int x, int y) {
        row(y)[x] = tile[static_cast<std::size_t>((y & 7) * 8 + (x & 7))] | kOpaque;
        mark(x, y) = epoch_;
        ++painted;
        left_ = std::min(left_, x);
        right_ = std::max(right_, x);
        top_ = std::min(top_, y);
        bottom_ = std::max(bottom_, y);
    };

    if (!inside(seed.x(), seed.y()))
        return 0;
    stack_.clear();
    stack_.push_back({seed.x(), seed.x(), seed.y(), 1});
    stack_.push_back({seed.x(), seed.x(), seed.y() - 1, -1});
    while (!stack_.empty()) {
        auto [x1, x2, y, dy] = stack_.back();
        stack_.pop_back();
        int x = x1;
        if (inside(x, y)) {
            while (inside(x - 1, y)) {
                paint(x - 1, y);
                --x;
            }
            if (x < x1)
                stack_.push_back({x, x1 - 1, y - dy, -dy});
        }
        while (x1 <= x2) {
            while (inside(x1, y)) {
                paint(x1, y);
                ++x1;
            }
            if (x1 > x)
                stack_.push_back({x, x1 - 1, y + dy, dy});
            if (x1 - 1 > x2)
                stack_.push_back({x2 + 1, x1 - 1, y - dy, -dy});
            ++x1;
            while (x1 < x2 && !inside(x1, y))
                ++x1;
            x = x1;
        }
    }
    return painted;
}

} // namespace vorn
