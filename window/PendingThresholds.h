#pragma once

#include <array>
#include <cstdint>

namespace vorn {

// The values the settings panel steps before Save takes them over.
struct PendingThresholds {
    std::int32_t LowPressureEdit = 0;  // whole psi
    std::int32_t HighPressureEdit = 0; // whole psi
    std::int32_t HighTempEdit = 0;     // whole degrees Celsius
};

enum class PendingValue { LowPressure, HighPressure, HighTemp };

// Inclusive range of the up and down buttons of one column.
struct StepRange {
    std::int32_t low;
    std::int32_t high;
};

inline constexpr std::array<StepRange, 3> kStepRanges{{
    {20, 44},  // low pressure
    {27, 60},  // high pressure
    {50, 100}, // high temperature
}};

constexpr StepRange stepRange(PendingValue which) {
    return kStepRanges[static_cast<std::size_t>(which)];
}

// One step up (+1) or down (-1). Passing the upper end going up wraps to the
// lower end and the other way round; a value outside the range that does not
// pass the end in the step's direction is simply stepped (10 up gives 11).
constexpr std::int32_t stepPending(std::int32_t value, int delta, StepRange range) {
    const std::int64_t next = std::int64_t{value} + delta; // a file may hold INT32_MAX
    if (delta > 0 && next > range.high)
        return range.low;
    if (delta < 0 && next < range.low)
        return range.high;
    return static_cast<std::int32_t>(next);
}

} // namespace vorn
