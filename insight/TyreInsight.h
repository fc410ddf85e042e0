#pragma once

#include "insight/ColdPressure.h"
#include "insight/InsightConfig.h"
#include "insight/TheilSen.h"
#include "insight/WheelTrend.h"

#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>

namespace vorn::insight {

// Wheel numbers a unit can report (0 to 15; the screen shows 0 to 5).
inline constexpr int kWheels = 16;

enum class Warning { SlowLeak, RapidLoss, Silent };

// A warning that began or ended, at the time of the reading (or the poll)
// that showed it.
struct WarningChange {
    int wheel = 0;
    Warning warning = Warning::SlowLeak;
    bool begun = false;
    TimeMs time = 0;
};

// One wheel as the analysis sees it.
struct WheelState {
    bool reported = false;
    TimeMs lastReport = 0;
    std::optional<double> pressurePsi; // of the last report; none: no reading
    std::optional<double> temperatureC;
    std::optional<double> coldPressurePsi;
    std::optional<LeakRate> rate24h;
    std::optional<LeakRate> rate7d;
    bool slowLeak = false;
    bool rapidLoss = false;
    bool silent = false;
    std::optional<double> rapidLossFromPsi; // the cold pressure it fell from
    // With a slow leak: when the cold pressure reaches the low threshold at
    // the 24-hour rate (the last report's time when it already has).
    std::optional<TimeMs> lowThresholdAt;

    // The one warning to name first: the most urgent, then the surest.
    std::optional<Warning> firstWarning() const;
};

// The analysis of one unit's wheels: fed each accepted sensor report with
// its time, live or from a stored history, it says each wheel's cold
// pressure and leak rates and keeps the warnings. Changes go to the
// callback as they happen; a silence is found when a reading of another
// wheel arrives or when poll() is called.
class TyreInsight {
public:
    using OnChange = std::function<void(const WarningChange&)>;

    TyreInsight(InsightConfig config, double lowThresholdPsi, OnChange onChange = {});

    // One report; raw values as the unit sends them. Readings of a wheel
    // that go back in time are taken as its newest (a clock set back by
    // more than a minute starts its trend afresh).
    void add(TimeMs time, int wheel, std::int32_t pressure, std::int32_t temperature);
    // Finds silences as of `now`; cheap, for a timer.
    void poll(TimeMs now);
    // Fits every wheel's 24-hour window again with all its readings, so
    // the rates and slow leaks stand as of the newest reading.
    void refit();
    // Slow leak is decided only from fits at or after `time`: a long
    // history replayed for its end skips the fits it would not show.
    void fitFrom(TimeMs time) { fitFrom_ = time; }

    // `withWeek` false leaves out the 7-day rate, whose fit a live view
    // need not pay for.
    WheelState wheel(int wheel, bool withWeek = true);
    void setLowThreshold(double psi) { lowThresholdPsi_ = psi; }
    double lowThreshold() const { return lowThresholdPsi_; }
    const InsightConfig& config() const { return config_; }

private:
    struct Wheel {
        bool reported = false;
        TimeMs last = 0;
        std::int32_t pressure = 0;
        std::int32_t temperature = 0;
        bool silent = false;
        WheelTrend trend;
    };

    void trend(int wheel, TimeMs time, double cold);
    void say(int wheel, Warning warning, bool begun, TimeMs time) const;
    void findSilences(TimeMs now);

    InsightConfig config_;
    double lowThresholdPsi_;
    OnChange onChange_;
    TheilSen fit_;
    TimeMs fitFrom_ = std::numeric_limits<TimeMs>::min();
    std::array<Wheel, kWheels> wheels_{};
};

} // namespace vorn::insight
