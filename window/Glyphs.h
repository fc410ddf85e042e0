#pragma once

#include <QIcon>
#include <QImage>

namespace vorn {

// The SET button's glyph: a hammer lying diagonally with a small digit at the
// lower right (1 for the normal state, 2 for the disabled one), 32 by 32
// pixels on a transparent background.
QImage hammerGlyph(int digit);
QIcon setButtonIcon();

// The step buttons' glyphs, 21 by 21 pixels: a bar over an upward triangle,
// or a downward triangle over a bar.
QImage stepUpGlyph();
QImage stepDownGlyph();

} // namespace vorn
