#pragma once

#include "protocol/MonitorSettings.h"
#include "protocol/TyreStateTable.h"

namespace vorn {

// Tests each wheel against the thresholds and keeps the outcome in its status
// word: low or high pressure, high temperature, and no bits at all without a
// pressure reading. What the screen shows follows from the word.
class WheelEvaluator {
public:
    WheelEvaluator(TyreStateTable& state, const MonitorSettings& settings)
        : state_(state), settings_(settings) {}

    void EvaluatePressure(int wheel);
    void EvaluateTemperature(int wheel);

private:
    TyreStateTable& state_;
    const MonitorSettings& settings_;
};

} // namespace vorn
