#pragma once

#include "protocol/MonitorEffects.h"

#include <cstdint>
#include <variant>

namespace vorn::history {

// Milliseconds since 1970-01-01 UTC.
using TimeMs = std::int64_t;

inline constexpr TimeMs kMsPerDay = 86'400'000;

// How long the file keeps what: each reading for `rawDays`, the minute,
// 10-minute and hour summaries (and the events) for `days`. Readings are
// never kept longer than the summaries.
struct Retention {
    int days = 400;
    int rawDays = 30;
    int readingDays() const { return rawDays < days ? rawDays : days; }
};
// The tyre analysis reads a week of readings and the day before it.
inline constexpr int kLeastRawDays = 8;
// A whole number of days a person might mean: one day to a hundred years.
inline constexpr int kMostDays = 36500;

// One accepted sensor report, as the tyre state table held it afterwards.
struct Reading {
    TimeMs time = 0;
    int wheel = 0;
    std::int32_t pressure = 0;    // half-psi steps
    std::int32_t temperature = 0; // degrees Celsius plus 40
    std::int32_t battery = 0;
    bool sensorFlag = false;
    ReportLink link = ReportLink::Serial;
};

// What happened beside the readings. The numbers are stored in the file.
enum class EventKind : int {
    AlarmRaised = 1, // wheel, detail = its status word
    AlarmEnded = 2,  // detail = AlarmEnd (1: acknowledged by the user)
    ModeEntered = 3, // detail = MonitorModeValue; 0 means the mode was left
    LinkFound = 4,   // detail = ReportLink
    LinkLost = 5,    // detail = ReportLink
    ProgramStarted = 6,
    ProgramEnded = 7,
    WarningBegun = 8, // wheel, detail = warningDetail(...)
    WarningEnded = 9, // wheel, detail as for WarningBegun
};

// A warning's event detail: its kind (0 slow leak, 1 rapid loss, 2 silent)
// in the low four bits, the 24-hour leak rate in hundredths of psi a day
// (negative: air lost) above them. Older readers skip kinds they do not know.
constexpr int warningDetail(int warning, double psiPerDay) {
    const double clamped = psiPerDay < -1e4 ? -1e4 : psiPerDay > 1e4 ? 1e4 : psiPerDay;
    const long hundredths = static_cast<long>(clamped * 100 + (clamped < 0 ? -0.5 : 0.5));
    return warning + static_cast<int>(hundredths) * 16;
}
constexpr int warningOfDetail(int detail) {
    return detail & 15;
}
constexpr double rateOfDetail(int detail) {
    return (detail - (detail & 15)) / 16 / 100.0;
}

struct Event {
    TimeMs time = 0;
    EventKind kind = EventKind::ProgramStarted;
    int wheel = -1;
    int detail = 0;
};

using Record = std::variant<Reading, Event>;

} // namespace vorn::history
