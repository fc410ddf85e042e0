#pragma once

#include <QPoint>
#include <array>
#include <cstdint>

namespace vorn::layout {

// The base constants from which every position on the screen follows.
inline constexpr std::int32_t LeftColumnX = 20;
inline constexpr std::int32_t DigitPitch = 36;
inline constexpr std::int32_t RightColumnOffset = 330;
inline constexpr std::int32_t TopRowY = 31;
inline constexpr std::int32_t TemperatureRowOffset = 60;
inline constexpr std::int32_t MiddlePairOffset = 260;
inline constexpr std::int32_t BottomPairOffset = 440;
inline constexpr std::int32_t VehicleOriginY = 8;
inline constexpr std::int32_t VehicleOriginX = 232;

// The car picture and the icons are placed relative to this point.
inline constexpr QPoint VehicleOrigin{VehicleOriginX, VehicleOriginY};

inline constexpr int Wheels = 6;
inline constexpr int CellsPerRow = 3;
inline constexpr int CellsPerWheel = 2 * CellsPerRow;
inline constexpr int Cells = Wheels * CellsPerWheel;

// Row 0 is the pressure row, row 1 the temperature row; columns run left to right.
constexpr int CellNumber(int wheel, int row, int column) {
    return wheel * CellsPerWheel + row * CellsPerRow + column;
}

// The origin of each of the 36 digit cells; odd wheels stand on the right.
constexpr std::array<QPoint, Cells> InitScreenLayout() {
    std::array<QPoint, Cells> origins{};
    for (int wheel = 0; wheel < Wheels; ++wheel) {
        const std::int32_t pairOffset = wheel >= 4   ? BottomPairOffset
                                        : wheel >= 2 ? MiddlePairOffset
                                                     : 0;
        for (int row = 0; row < 2; ++row) {
            for (int column = 0; column < CellsPerRow; ++column) {
                const std::int32_t x =
                    LeftColumnX + column * DigitPitch + (wheel % 2 == 1 ? RightColumnOffset : 0);
                const std::int32_t y = TopRowY + row * TemperatureRowOffset + pairOffset;
                origins[static_cast<std::size_t>(CellNumber(wheel, row, column))] = QPoint(x, y);
            }
        }
    }
    return origins;
}

inline constexpr std::array<QPoint, Cells> CellOrigins = InitScreenLayout();

} // namespace vorn::layout
