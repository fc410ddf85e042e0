#pragma once

#include "protocol/TyreStateTable.h"
#include "publish/Payloads.h"

#include <array>
#include <functional>
#include <optional>

namespace vorn::mqtt {

// Decides what of the monitor goes to the broker and when: a wheel's state
// once it has reported, when it changed (at most once a second per wheel)
// and every minute regardless; the alarm as it is raised and ended; the
// discovery of the vehicle's wheels from the start and of any other wheel
// once it reports.
class WheelPublisher {
public:
    using Send = std::function<void(const Message&)>;
    static constexpr qint64 kMinGapMs = 1000;
    static constexpr qint64 kHeartbeatMs = 60000;
    static constexpr int kDefaultWheels = 4;

    WheelPublisher(Settings settings, Send send, int wheels = kDefaultWheels);

    // The vehicle has `wheels` wheels (0 to 6). Wheels beyond a count that
    // fell, and that have not reported, are removed from Home Assistant.
    void setWheelCount(int wheels);
    // A sensor report was stored for `wheel` at `utcMs` (wall clock).
    void readingStored(int wheel, qint64 utcMs);
    // After a display refresh; `nowMs` runs on a monotonic clock.
    void refreshed(const TyreStateTable& state, std::int32_t unitIndex, qint64 nowMs);
    // What the analysis says of `wheel`; sent with its next state.
    void setInsight(int wheel, const WheelInsight& insight);
    void alarmRaised(int wheel);
    void alarmEnded();

private:
    struct Wheel {
        bool announced = false;
        bool reported = false;
        qint64 lastReportUtcMs = 0;
        std::optional<WheelReading> sent;
        qint64 sentAtMs = 0;
        WheelInsight insight;
    };
    void announce(int wheel);

    Settings settings_;
    Topics topics_;
    Send send_;
    std::array<Wheel, kShownWheels> wheels_{};
    PressureUnit unit_ = PressureUnit::Psi;
};

} // namespace vorn::mqtt
