#pragma once

#include "display/Canvas.h"

namespace vorn {

// The fixed picture of the screen: a top view of an open-wheel racing car,
// nose up, drawn once when the window is shown.
class ScreenPicture {
public:
    explicit ScreenPicture(Canvas& canvas) : canvas_(canvas) {}

    void DrawStaticScreen();

private:
    // Points are offsets from the vehicle origin.
    void outline(std::span<const QPoint> offsets, bool mirrored = false);
    void outlineAndMirror(std::span<const QPoint> offsets);
    void fill(std::initializer_list<QPoint> offsets);

    Canvas& canvas_;
};

} // namespace vorn
