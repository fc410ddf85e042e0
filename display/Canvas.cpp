#include "display/Canvas.h"

namespace vorn {

Canvas::Canvas() : image_(Width, Height, QImage::Format_RGB32) {
    image_.fill(Qt::white);
}

} // namespace vorn
