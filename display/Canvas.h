#pragma once

#include <QImage>

namespace vorn {

// The drawing surface of the screen replica: a fixed-size image, white at start.
class Canvas {
public:
    static constexpr int Width = 480;
    static constexpr int Height = 476;

    Canvas();

    const QImage& image() const { return image_; }
    QImage& image() { return image_; }

private:
    QImage image_;
};

} // namespace vorn
