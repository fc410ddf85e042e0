#include "monitor/Alarm.h"

#include <algorithm>

namespace vorn {

namespace {
constexpr std::int32_t TicksPerFlip = 9;
constexpr int ToneHz = 2000;
constexpr int ToneMs = 100;
// The unit's own screen shows wheels 0 to 3; they count whether they have
// reported or not.
constexpr int UnitScreenWheels = 4;
constexpr std::int32_t AlarmBits =
    status::LowPressure | status::HighPressure | status::HighTemperature;
} // namespace

void Alarm::Blink() {
    ++BlinkTicks;
    if (BlinkTicks < TicksPerFlip)
        return;
    BlinkPhase = BlinkPhase == 0 ? 1 : 0;
    if (state_.AlarmActive == 1)
        effects_.playTone(ToneHz, ToneMs);
    BlinkTicks = 0;
}

void Alarm::StatusEvaluated(int wheel) {
    if (wheel < 0 || wheel >= kShownWheels)
        return;
    const std::int32_t word = state_.TyreStatus[static_cast<std::size_t>(wheel)];
    std::int32_t& previous = PreviousStatus[static_cast<std::size_t>(wheel)];
    if (word == previous)
        return;
    previous = word;
    if (RaisesAlarm(word))
        Raise(wheel);
}

void Alarm::Raise(int wheel) {
    if (!state_.inMode(MonitorModeValue::Normal))
        return;
    state_.AlarmActive = 1;
    effects_.setBrandColour(PanelColour::Red);
    effects_.setBrandCaption("ALARM !");
    effects_.alarmRaised(wheel, state_.TyreStatus[static_cast<std::size_t>(wheel)]);
}

void Alarm::EndWhenClear() {
    std::int32_t bits = 0;
    const int wheels = std::clamp(settings_.AlarmWheels, 0, kShownWheels);
    for (int w = 0; w < wheels; ++w)
        if (w < UnitScreenWheels || reported_[static_cast<std::size_t>(w)])
            bits |= state_.TyreStatus[static_cast<std::size_t>(w)];
    if ((bits & AlarmBits) != 0 || state_.AlarmActive != 1)
        return;
    state_.AlarmActive = 0;
    effects_.setBrandColour(PanelColour::SkyBlue);
    effects_.setBrandCaption("KESSIDO");
    effects_.alarmEnded(AlarmEnd::Cleared);
}

void Alarm::WheelReported(int wheel) {
    if (wheel >= 0 && wheel < kShownWheels)
        reported_[static_cast<std::size_t>(wheel)] = true;
}

} // namespace vorn
