#pragma once

#include "insight/BucketRing.h"
#include "insight/InsightConfig.h"
#include "insight/RecentRange.h"
#include "insight/TheilSen.h"

#include <optional>
#include <vector>

namespace vorn::insight {

// A leak rate in psi a day (negative: air is lost) with its 95 % bounds,
// from `readings` readings spanning `span` ms.
struct LeakRate {
    double psiPerDay = 0;
    double lower = 0;
    double upper = 0;
    int readings = 0;
    TimeMs span = 0;
};

// Rates are given only from this much evidence.
inline constexpr int kMinFitReadings = 20;
inline constexpr TimeMs kMinFitSpan = 2 * kHourMs;

// A change of cold pressure this large within five minutes is air put in
// or let out: the fits start afresh, since older readings no longer
// describe the tyre (and a puncture is the rapid loss's, not a slow leak).
inline constexpr double kStepPsi = 1.5;

// One wheel's cold pressure over time: rapid loss at once from the last
// five minutes, leak rates from bucketed windows of 24 hours and 7 days,
// and the slow-leak decision from the 24-hour rate.
class WheelTrend {
public:
    // What one reading changed.
    struct Step {
        bool rapidLossChanged = false;
        bool slowLeakChanged = false;
    };

    // `fit` is shared by the wheels of a unit: only its buffer is reused.
    // Slow leak is decided from fits made at or after `fitFrom`.
    Step add(TimeMs time, double cold, const InsightConfig& config, TheilSen& fit, TimeMs fitFrom);
    // Fits the 24-hour window again with every reading so far.
    Step refit(const InsightConfig& config, TheilSen& fit);
    // Forgets the trend (the clock went back): the fits start afresh.
    void restart();

    bool rapidLoss() const { return rapid_.has_value(); }
    // The cold pressure the rapid loss fell from.
    std::optional<double> rapidLossFrom() const;
    bool slowLeak() const { return slowLeak_; }
    const std::optional<LeakRate>& rate24h() const { return day_.rate; }
    // Fitted when asked, then kept until a new two-hour bucket opens.
    const std::optional<LeakRate>& rate7d(TheilSen& fit);

private:
    template <std::size_t Count, TimeMs Width> struct Series {
        BucketRing<Count, Width> ring;
        std::optional<LeakRate> rate;
        bool stale = true;
    };

    template <std::size_t Count, TimeMs Width>
    std::optional<LeakRate> fitRing(const BucketRing<Count, Width>& ring, TimeMs window,
                                    TheilSen& fit);
    bool decideSlowLeak(const InsightConfig& config);
    bool trackRapidLoss(TimeMs time, double cold, const InsightConfig& config);

    struct Drop {
        double from = 0;   // the highest cold pressure of the five minutes before
        double lowest = 0; // the lowest since
    };

    RecentRange recent_;
    // Half-hour points for the day, two-hour points for the week: about
    // fifty points each, a thousand pairs, some tens of microseconds a fit.
    Series<24 * 2 + 1, 30 * kMinuteMs> day_;
    Series<7 * 12 + 1, 2 * kHourMs> week_;
    std::vector<FitPoint> points_;
    std::optional<Drop> rapid_;
    bool slowLeak_ = false;
    TimeMs last_ = 0;
};

} // namespace vorn::insight
