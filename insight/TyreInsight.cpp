#include "insight/TyreInsight.h"

#include <algorithm>

namespace vorn::insight {

namespace {

// A clock set back by more than this is a new time line for the wheel.
constexpr TimeMs kClockBackTolerance = kMinuteMs;

} // namespace

std::optional<Warning> WheelState::firstWarning() const {
    if (rapidLoss)
        return Warning::RapidLoss;
    if (slowLeak)
        return Warning::SlowLeak;
    if (silent)
        return Warning::Silent;
    return std::nullopt;
}

TyreInsight::TyreInsight(InsightConfig config, double lowThresholdPsi, OnChange onChange)
    : config_(config), lowThresholdPsi_(lowThresholdPsi), onChange_(std::move(onChange)) {}

void TyreInsight::add(TimeMs time, int wheel, std::int32_t pressure, std::int32_t temperature) {
    if (wheel < 0 || wheel >= kWheels)
        return;
    Wheel& w = wheels_[static_cast<std::size_t>(wheel)];
    if (w.reported && time < w.last) {
        if (w.last - time > kClockBackTolerance)
            w.trend.restart();
        else
            time = w.last;
    }
    w.reported = true;
    w.last = time;
    w.pressure = pressure;
    w.temperature = temperature;
    if (w.silent) {
        w.silent = false;
        say(wheel, Warning::Silent, false, time);
    }
    if (const auto cold = coldPressureOfRaw(pressure, temperature))
        trend(wheel, time, *cold);
    findSilences(time);
}

void TyreInsight::trend(int wheel, TimeMs time, double cold) {
    const WheelTrend::Step step =
        wheels_[static_cast<std::size_t>(wheel)].trend.add(time, cold, config_, fit_, fitFrom_);
    const WheelTrend& t = wheels_[static_cast<std::size_t>(wheel)].trend;
    if (step.rapidLossChanged)
        say(wheel, Warning::RapidLoss, t.rapidLoss(), time);
    if (step.slowLeakChanged)
        say(wheel, Warning::SlowLeak, t.slowLeak(), time);
}

void TyreInsight::poll(TimeMs now) {
    findSilences(now);
}

void TyreInsight::refit() {
    for (int wheel = 0; wheel < kWheels; ++wheel) {
        Wheel& w = wheels_[static_cast<std::size_t>(wheel)];
        if (w.reported && w.trend.refit(config_, fit_).slowLeakChanged)
            say(wheel, Warning::SlowLeak, w.trend.slowLeak(), w.last);
    }
}

// A wheel is silent when it has reported, has been quiet for the set time,
// and another wheel reported after that time had passed: a unit switched
// off or out of range quiets every wheel at once and warns of none.
void TyreInsight::findSilences(TimeMs now) {
    const TimeMs quiet = config_.silentMs();
    // The two latest reports, so each wheel learns the latest of the others.
    int newest = -1;
    TimeMs latest = 0;
    TimeMs second = 0;
    bool haveSecond = false;
    for (int i = 0; i < kWheels; ++i) {
        const Wheel& w = wheels_[static_cast<std::size_t>(i)];
        if (!w.reported)
            continue;
        if (newest < 0 || w.last > latest) {
            if (newest >= 0) {
                second = latest;
                haveSecond = true;
            }
            newest = i;
            latest = w.last;
        } else if (!haveSecond || w.last > second) {
            second = w.last;
            haveSecond = true;
        }
    }
    for (int i = 0; i < kWheels && haveSecond; ++i) {
        Wheel& w = wheels_[static_cast<std::size_t>(i)];
        const TimeMs others = i == newest ? second : latest;
        if (!w.reported || w.silent || now - w.last < quiet || others - w.last < quiet)
            continue;
        w.silent = true;
        say(i, Warning::Silent, true, now);
    }
}

void TyreInsight::say(int wheel, Warning warning, bool begun, TimeMs time) const {
    if (onChange_)
        onChange_({wheel, warning, begun, time});
}

WheelState TyreInsight::wheel(int wheel, bool withWeek) {
    WheelState state;
    if (wheel < 0 || wheel >= kWheels)
        return state;
    Wheel& w = wheels_[static_cast<std::size_t>(wheel)];
    state.reported = w.reported;
    if (!w.reported)
        return state;
    state.lastReport = w.last;
    if (w.pressure >= 0 && w.pressure < kNoPressureRaw)
        state.pressurePsi = w.pressure / 2.0;
    if (w.temperature >= 0 && w.temperature < kNoTemperatureRaw)
        state.temperatureC = w.temperature - 40.0;
    state.coldPressurePsi = coldPressureOfRaw(w.pressure, w.temperature);
    state.rate24h = w.trend.rate24h();
    if (withWeek)
        state.rate7d = w.trend.rate7d(fit_);
    state.slowLeak = w.trend.slowLeak();
    state.rapidLoss = w.trend.rapidLoss();
    state.rapidLossFromPsi = w.trend.rapidLossFrom();
    state.silent = w.silent;
    if (state.slowLeak && state.rate24h && state.coldPressurePsi && state.rate24h->psiPerDay < 0) {
        const double days =
            std::max(0.0, (*state.coldPressurePsi - lowThresholdPsi_) / -state.rate24h->psiPerDay);
        state.lowThresholdAt = w.last + static_cast<TimeMs>(days * static_cast<double>(kDayMs));
    }
    return state;
}

} // namespace vorn::insight
