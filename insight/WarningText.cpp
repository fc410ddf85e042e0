#include "insight/WarningText.h"

#include <cmath>
#include <cstdio>

namespace vorn::insight {

namespace {

std::string format(const char* pattern, auto... values) {
    char text[160];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

// "a day", "5 days", "an hour", "3 hours": the nearest whole count.
std::string roughly(TimeMs span) {
    const double hours = static_cast<double>(span) / static_cast<double>(kHourMs);
    if (hours >= 36) {
        const long days = std::lround(hours / 24);
        return days == 1 ? "a day" : format("%ld days", days);
    }
    const long whole = std::lround(hours);
    return whole == 1 ? "an hour" : format("%ld hours", whole);
}

std::string quietFor(TimeMs span) {
    const long minutes = static_cast<long>(span / kMinuteMs);
    if (minutes < 120)
        return format("%ld minute%s", minutes, minutes == 1 ? "" : "s");
    if (minutes < 48 * 60)
        return format("%ld hours", minutes / 60);
    return format("%ld days", minutes / (24 * 60));
}

std::string slowLeakText(const WheelState& state, double low) {
    const double rate = state.rate24h ? -state.rate24h->psiPerDay : 0;
    std::string text = format("losing %.1f psi a day", rate);
    if (!state.lowThresholdAt)
        return text;
    const TimeMs left = *state.lowThresholdAt - state.lastReport;
    if (left <= 0)
        return text + format("; below %g psi already", low);
    if (left < kHourMs / 2)
        return text + format("; reaches %g psi within the hour", low);
    return text + format("; reaches %g psi in about ", low) + roughly(left);
}

} // namespace

std::string warningText(int wheel, const WheelState& state, Warning warning, TimeMs now,
                        double lowThresholdPsi) {
    std::string what;
    switch (warning) {
    case Warning::SlowLeak:
        what = slowLeakText(state, lowThresholdPsi);
        break;
    case Warning::RapidLoss:
        what = state.rapidLossFromPsi && state.coldPressurePsi
                   ? format("lost %.1f psi within minutes",
                            *state.rapidLossFromPsi - *state.coldPressurePsi)
                   : std::string("losing air fast");
        break;
    case Warning::Silent:
        what = "no report for " + quietFor(now - state.lastReport);
        break;
    }
    return format("Wheel %d: ", wheel) + what;
}

} // namespace vorn::insight
