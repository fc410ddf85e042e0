#include "monitor/WheelEvaluation.h"

#include "protocol/Readout.h"

#include <algorithm>

namespace vorn {

namespace {
constexpr std::int32_t NoTemperatureFrom = 199;
} // namespace

// A pressure exactly twice a threshold is within limits. Without a reading
// (or with a negative one, which only a damaged frame brings) the wheel is
// absent: its whole word is cleared.
void WheelEvaluator::EvaluatePressure(int wheel) {
    if (wheel < 0 || wheel >= kShownWheels)
        return;
    const auto w = static_cast<std::size_t>(wheel);
    const std::int32_t p = state_.TyrePressure[w];
    std::int32_t& word = state_.TyreStatus[w];
    word &= ~(status::LowPressure | status::HighPressure);
    if (p > 2 * std::int64_t{settings_.HighPressureSet})
        word |= status::HighPressure;
    else if (p < 2 * std::int64_t{settings_.LowPressureSet})
        word |= status::LowPressure;
    if (!PressureGlyphs(p, settings_.PressureUnitIndex))
        word = 0;
}

// The threshold test takes the temperature capped at 199, in degrees Celsius
// whatever unit it is shown in; a temperature the screen shows as dashes
// never carries the hot bit.
void WheelEvaluator::EvaluateTemperature(int wheel) {
    if (wheel < 0 || wheel >= kShownWheels)
        return;
    const auto w = static_cast<std::size_t>(wheel);
    const std::int32_t t = std::min(state_.TyreTemperature[w], NoTemperatureFrom);
    std::int32_t& word = state_.TyreStatus[w];
    const bool hot = t > std::int64_t{settings_.HighTempSet} + ZeroCelsius;
    word = hot ? (word | status::HighTemperature) : (word & ~status::HighTemperature);
    if (!TemperatureGlyphs(t, TemperatureUnitOf(settings_.TemperatureUnitIndex)))
        word &= ~status::HighTemperature;
}

} // namespace vorn
