#pragma once

#include <QRgb>

namespace vorn::colour {

// The colours of the drawn screen. Every one is opaque, so none of them is 0:
// the segment cache keeps 0 to mean "unlit".
inline constexpr QRgb Black = qRgb(0, 0, 0);
inline constexpr QRgb White = qRgb(255, 255, 255);
inline constexpr QRgb Blue = qRgb(0, 0, 255);
inline constexpr QRgb Silver = qRgb(192, 192, 192);
inline constexpr QRgb Grey = qRgb(128, 128, 128);
inline constexpr QRgb MediumGrey = qRgb(160, 160, 164); // outline of an unlit segment
inline constexpr QRgb Yellow = qRgb(255, 255, 0);
inline constexpr QRgb Red = qRgb(255, 0, 0);
inline constexpr QRgb Green = qRgb(0, 128, 0);
inline constexpr QRgb Maroon = qRgb(128, 0, 0);
inline constexpr QRgb Lime = qRgb(0, 255, 0);
inline constexpr QRgb Navy = qRgb(0, 0, 128);

} // namespace vorn::colour
