#include "display/FloodFill.h"

#include <algorithm>

namespace vorn {

namespace {
constexpr QRgb kRgbMask = 0x00FFFFFF;
constexpr QRgb kOpaque = 0xFF000000;
} // namespace

void FloodFill::clearMarks(int width) {
    for (int y = top_; y <= bottom_; ++y) {
        const std::size_t first = static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        std::fill(visited_.begin() + static_cast<std::ptrdiff_t>((first + left_) / 64),
                  visited_.begin() + static_cast<std::ptrdiff_t>((first + right_) / 64 + 1),
                  std::uint64_t{0});
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
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (visited_.size() != (pixels + 63) / 64)
        visited_.assign((pixels + 63) / 64, 0);

    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    const QRgb stop = border & kRgbMask;
    auto row = [&](int y) { return reinterpret_cast<QRgb*>(bits + y * stride); };
    auto index = [&](int x, int y) {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
               static_cast<std::size_t>(x);
    };
    auto marked = [&](int x, int y) {
        return (visited_[index(x, y) / 64] >> (index(x, y) % 64)) & 1;
    };
    auto inside = [&](int x, int y) {
        return x >= 0 && x < width && y >= 0 && y < height && (row(y)[x] & kRgbMask) != stop &&
               !marked(x, y);
    };
    int painted = 0;
    left_ = width;
    top_ = height;
    right_ = -1;
    bottom_ = -1;
    auto paint = [&](int x, int y) {
        row(y)[x] = tile[static_cast<std::size_t>((y & 7) * 8 + (x & 7))] | kOpaque;
        visited_[index(x, y) / 64] |= std::uint64_t{1} << (index(x, y) % 64);
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
    clearMarks(width);
    return painted;
}

} // namespace vorn
