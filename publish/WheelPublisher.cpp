#include "publish/WheelPublisher.h"

namespace vorn::mqtt {

WheelPublisher::WheelPublisher(Settings settings, Send send)
    : settings_(std::move(settings)), topics_(settings_), send_(std::move(send)) {
    if (settings_.discovery)
        send_(alarmDiscovery(settings_));
    alarmEnded();
}

void WheelPublisher::discover(int wheel) {
    if (!settings_.discovery)
        return;
    for (const Message& m : wheelDiscovery(settings_, wheel, unit_))
        send_(m);
}

void WheelPublisher::readingStored(int wheel, qint64 utcMs) {
    if (wheel < 0 || wheel >= kShownWheels)
        return; // stored, but never shown: not published either
    Wheel& w = wheels_[static_cast<std::size_t>(wheel)];
    w.lastReportUtcMs = utcMs;
    if (!w.reported) {
        w.reported = true;
        discover(wheel);
    }
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
        if (unitChanged)
            discover(wheel);
        const WheelReading now{wheel, state.TyrePressure[i], state.TyreTemperature[i],
                               state.TyreStatus[i], state.TyreBattery[i]};
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

void WheelPublisher::alarmRaised(int wheel) {
    send_({topics_.alarm(), alarmPayload(true, wheel), true, 0});
}

void WheelPublisher::alarmEnded() {
    send_({topics_.alarm(), alarmPayload(false, 0), true, 0});
}

} // namespace vorn::mqtt
