#pragma once

#include "display/MonitorSettings.h"
#include "protocol/MonitorEffects.h"
#include "protocol/TyreStateTable.h"

#include <array>
#include <cstdint>

namespace vorn {

// The alarm on the brand panel and its tone, paced by the blink phase.
class Alarm {
public:
    Alarm(TyreStateTable& state, const MonitorSettings& settings, MonitorEffects& effects)
        : state_(state), settings_(settings), effects_(effects) {}

    // One 100 ms tick: the phase flips every ninth tick, and each flip sounds
    // the tone while the alarm is on.
    void Blink();
    std::int32_t blinkPhase() const { return BlinkPhase; }

    // Red "ALARM !" on the brand panel; only in normal mode, since learning
    // and test mode clear every reading on purpose.
    void Raise(int wheel);
    // Back to "KESSIDO" once none of the alarm wheels (0 to 3, or 0 to 5 in
    // the six-wheel view) carries an alarm bit. Wheels 4 and 5 count only
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
    std::array<bool, kShownWheels> reported_{};
};

} // namespace vorn
