#pragma once

#include "protocol/MonitorEffects.h"
#include "protocol/MonitorSettings.h"
#include "protocol/TyreStateTable.h"

#include <array>
#include <cstdint>

namespace vorn {

// Whether a wheel whose status word is `word` is in an alarm state: present
// with low or high pressure, or present within limits but hot. A wheel whose
// sensor flag is clear never is.
constexpr bool RaisesAlarm(std::int32_t word) {
    switch (word & (status::SensorFlag | status::LowPressure | status::HighPressure)) {
    case status::SensorFlag:
        return (word & status::HighTemperature) != 0;
    case status::SensorFlag | status::LowPressure:
    case status::SensorFlag | status::HighPressure:
        return true;
    default: // absent, or low and high together, which the evaluation never sets
        return false;
    }
}

// The alarm on the brand panel and its tone, paced by the blink phase.
class Alarm {
public:
    Alarm(TyreStateTable& state, const MonitorSettings& settings, MonitorEffects& effects)
        : state_(state), settings_(settings), effects_(effects) {
        PreviousStatus.fill(-1); // matches no status word: the first refresh looks at all
    }

    // One 100 ms tick: the phase flips every ninth tick, and each flip sounds
    // the tone while the alarm is on.
    void Blink();
    std::int32_t blinkPhase() const { return BlinkPhase; }

    // After the wheel's evaluation: a change of its status word into an alarm
    // state raises the alarm. A state that persists is raised once.
    void StatusEvaluated(int wheel);
    // Red "ALARM !" on the brand panel; only in normal mode, since learning
    // and test mode clear every reading on purpose.
    void Raise(int wheel);
    // Back to "KESSIDO" once none of the vehicle's wheels (0 to 3, or 0 to 5
    // on a six-wheel vehicle) carries an alarm bit. Wheels 4 and 5 count only
    // once they have reported: on a four-sensor vehicle they never do, and
    // their pressure of 0 would hold the alarm for good.
    void EndWhenClear();
    // A sensor report for `wheel` was stored.
    void WheelReported(int wheel);

private:
    TyreStateTable& state_;
    const MonitorSettings& settings_;
    MonitorEffects& effects_;
    std::int32_t BlinkTicks = 0;
    std::int32_t BlinkPhase = 0;
    std::array<std::int32_t, kWheelSlots> PreviousStatus{};
    std::array<bool, kShownWheels> reported_{};
};

} // namespace vorn
