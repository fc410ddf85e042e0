#include "publish/WheelPublisher.h"

#include <algorithm>

namespace vorn::mqtt {

WheelPublisher::WheelPublisher(Settings settings, Send send, int wheels)
    : settings_(std::move(settings)), topics_(settings_), send_(std::move(send)) {
    if (settings_.discovery) {
        send_(alarmDiscovery(settings_));
        send_(acknowledgeDiscovery(settings_));
    }
    setWheelCount(wheels);
    // The broker may still keep the configs of wheels an earlier run had
    // and this vehicle has not; Home Assistant would show them for good.
    if (settings_.discovery)
        for (int wheel = std::clamp(wheels, 0, kShownWheels); wheel < kShownWheels; ++wheel)
            for (const Message& m : wheelRemoval(settings_, wheel))
                send_(m);
    alarmEnded();
}

void WheelPublisher::announce(int wheel) {
    wheels_[static_cast<std::size_t>(wheel)].announced = true;
    if (settings_.discovery)
        for (const Message& m : wheelDiscovery(settings_, wheel))
            send_(m);
}

void WheelPublisher::setWheelCount(int wheels) {
    wheels = std::clamp(wheels, 0, kShownWheels);
    for (int wheel = 0; wheel < kShownWheels; ++wheel) {
        Wheel& w = wheels_[static_cast<std::size_t>(wheel)];
        if (wheel < wheels && !w.announced) {
            announce(wheel);
        } else if (wheel >= wheels && w.announced && !w.reported) {
            w.announced = false;
            if (settings_.discovery)
                for (const Message& m : wheelRemoval(settings_, wheel))
                    send_(m);
        }
    }
}

void WheelPublisher::readingStored(int wheel, qint64 utcMs) {
    if (wheel < 0 || wheel >= kShownWheels)
        return; // stored, but never shown: not published either
    Wheel& w = wheels_[static_cast<std::size_t>(wheel)];
    w.lastReportUtcMs = utcMs;
    w.reported = true;
    if (!w.announced)
        announce(wheel);
}

void WheelPublisher::refreshed(const TyreStateTable& state, std::int32_t unitIndex, qint64 nowMs) {
    const PressureUnit unit = PressureUnitOf(unitIndex);
    const bool unitChanged = unit != unit_;
    unit_ = unit;
    for (int wheel = 0; wheel < kShownWheels; ++wheel) {
        const auto i = static_cast<std::size_t>(wheel);
        Wheel& w = wheels_[i];
        if (!w.reported)
            continue;
        const WheelReading now{wheel,
                               state.TyrePressure[i],
                               state.TyreTemperature[i],
                               state.TyreStatus[i],
                               state.TyreBattery[i],
                               w.insight};
        const qint64 since = nowMs - w.sentAtMs;
        const bool changed = !w.sent || *w.sent != now || unitChanged;
        const bool due = !w.sent || (changed && since >= kMinGapMs) || since >= kHeartbeatMs;
        if (!due)
            continue;
        send_(
            {topics_.wheelState(wheel), wheelStatePayload(now, unit, w.lastReportUtcMs), true, 0});
        w.sent = now;
        w.sentAtMs = nowMs;
    }
}

void WheelPublisher::setInsight(int wheel, const WheelInsight& insight) {
    if (wheel >= 0 && wheel < kShownWheels)
        wheels_[static_cast<std::size_t>(wheel)].insight = insight;
}

void WheelPublisher::alarmRaised(int wheel) {
    send_({topics_.alarm(), alarmPayload(true, wheel), true, 0});
}

void WheelPublisher::alarmEnded() {
    send_({topics_.alarm(), alarmPayload(false, 0), true, 0});
}

} // namespace vorn::mqtt
