#include "insight/WheelTrend.h"

#include <algorithm>

namespace vorn::insight {

WheelTrend::Step WheelTrend::add(TimeMs time, double cold, const InsightConfig& config,
                                 TheilSen& fit, TimeMs fitFrom) {
    last_ = std::max(last_, time);
    Step step;
    step.rapidLossChanged = trackRapidLoss(time, cold, config);
    const bool newBucket = day_.ring.add(time, cold);
    week_.stale = week_.ring.add(time, cold) || week_.stale;
    // The 24-hour fit is made once a bucket, not once a reading: the rate
    // moves slowly, and a fit costs a few tens of microseconds.
    if (newBucket && time >= fitFrom) {
        day_.rate = fitRing(day_.ring, kDayMs, fit);
        step.slowLeakChanged = decideSlowLeak(config);
    }
    return step;
}

WheelTrend::Step WheelTrend::refit(const InsightConfig& config, TheilSen& fit) {
    day_.rate = fitRing(day_.ring, kDayMs, fit);
    week_.stale = true;
    Step step;
    step.slowLeakChanged = decideSlowLeak(config);
    return step;
}

void WheelTrend::restart() {
    recent_.clear();
    day_ = {};
    week_ = {};
    last_ = 0;
}

bool WheelTrend::trackRapidLoss(TimeMs time, double cold, const InsightConfig& config) {
    const RecentRange::Range range = recent_.add(time, cold);
    if (cold - range.low >= kStepPsi || range.high - cold >= kStepPsi) {
        day_ = {};
        week_ = {};
    }
    if (rapid_) {
        // Air was put in: back near where it was, or well up from the lowest.
        rapid_->lowest = std::min(rapid_->lowest, cold);
        if (cold <
            std::min(rapid_->from - config.rapidLossPsi / 2, rapid_->lowest + config.rapidLossPsi))
            return false;
        rapid_.reset();
        // The fall is over: the next one is measured from here.
        recent_.clear();
        recent_.add(time, cold);
        return true;
    }
    if (range.high - cold < config.rapidLossPsi)
        return false;
    rapid_ = Drop{range.high, cold};
    return true;
}

template <std::size_t Count, TimeMs Width>
std::optional<LeakRate> WheelTrend::fitRing(const BucketRing<Count, Width>& ring, TimeMs window,
                                            TheilSen& fit) {
    const auto held = ring.collect(last_ - window, points_);
    if (held.readings < kMinFitReadings || held.span() < kMinFitSpan)
        return std::nullopt;
    const auto f = fit.fit(points_);
    if (!f)
        return std::nullopt;
    return LeakRate{f->slope, f->lower, f->upper, held.readings, held.span()};
}

// Begins only when even the bound nearest zero loses faster than the
// setting; ends when the rate itself no longer does, so a rate near the
// setting does not make the warning come and go.
bool WheelTrend::decideSlowLeak(const InsightConfig& config) {
    const bool was = slowLeak_;
    const std::optional<LeakRate>& rate = day_.rate;
    const double limit = -config.slowLeakPsiPerDay;
    if (!rate)
        slowLeak_ = false;
    else if (!slowLeak_)
        slowLeak_ = rate->upper < limit;
    else
        slowLeak_ = rate->psiPerDay < limit;
    return was != slowLeak_;
}

const std::optional<LeakRate>& WheelTrend::rate7d(TheilSen& fit) {
    if (!week_.stale)
        return week_.rate;
    week_.stale = false;
    // Within a day the half-hour points hold the same readings more finely.
    const bool withinADay = week_.ring.collect(last_ - 7 * kDayMs, points_).span() <= kDayMs;
    week_.rate =
        withinADay ? fitRing(day_.ring, 7 * kDayMs, fit) : fitRing(week_.ring, 7 * kDayMs, fit);
    return week_.rate;
}

std::optional<double> WheelTrend::rapidLossFrom() const {
    if (!rapid_)
        return std::nullopt;
    return rapid_->from;
}

} // namespace vorn::insight
