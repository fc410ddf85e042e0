#include "window/Glyphs.h"

#include <QPainter>
#include <QPixmap>
#include <QPolygon>
#include <array>

namespace vorn {

namespace {

constexpr int kHammerSize = 32;
constexpr int kStepSize = 21;

// 3 by 5 pixel digits, one row a string, for the small number on the hammer.
using DigitRows = std::array<const char*, 5>;
constexpr DigitRows kDigitOne{".#.", "##.", ".#.", ".#.", "###"};
constexpr DigitRows kDigitTwo{"##.", "..#", ".#.", "#..", "###"};

QImage transparentImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

void paintDigit(QImage& image, const DigitRows& rows, int left, int top) {
    for (int y = 0; y < static_cast<int>(rows.size()); ++y)
        for (int x = 0; rows[static_cast<std::size_t>(y)][x] != '\0'; ++x)
            if (rows[static_cast<std::size_t>(y)][x] == '#')
                image.setPixelColor(left + x, top + y, Qt::black);
}

} // namespace

QImage hammerGlyph(int digit) {
    QImage image = transparentImage(kHammerSize);
    {
        QPainter p(&image);
        p.setPen(QPen(Qt::black, 1));
        // Handle: from the lower left up to the head, dark red.
        p.setBrush(QColor(128, 0, 0));
        p.drawPolygon(QPolygon({{2, 26}, {5, 29}, {20, 14}, {17, 11}}));
        // Head: a block across the handle's end at the upper right, olive.
        p.setBrush(QColor(128, 128, 0));
        p.drawPolygon(QPolygon({{13, 9}, {21, 1}, {28, 8}, {20, 16}}));
    }
    paintDigit(image, digit == 2 ? kDigitTwo : kDigitOne, 26, 25);
    return image;
}

QIcon setButtonIcon() {
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(hammerGlyph(1)), QIcon::Normal);
    icon.addPixmap(QPixmap::fromImage(hammerGlyph(2)), QIcon::Disabled);
    return icon;
}

namespace {

QImage stepGlyph(bool up) {
    QImage image = transparentImage(kStepSize);
    QPainter p(&image);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    const int barTop = up ? 2 : 16;
    p.drawRect(3, barTop, 15, 3);
    // Triangle of 15 pixels' base and 8 pixels' height beside the bar.
    const QPolygon triangle =
        up ? QPolygon({{10, 7}, {18, 15}, {2, 15}}) : QPolygon({{2, 5}, {18, 5}, {10, 13}});
    p.drawPolygon(triangle);
    return image;
}

} // namespace

QImage stepUpGlyph() {
    return stepGlyph(true);
}
QImage stepDownGlyph() {
    return stepGlyph(false);
}

} // namespace vorn
