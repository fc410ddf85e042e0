#pragma once

#include "history/Decimator.h"
#include "history/HistoryTypes.h"

#include <QString>
#include <limits>
#include <map>
#include <optional>
#include <vector>

namespace vorn::history {

class HistoryStore;

struct ChartPoint {
    TimeMs time = 0;
    double value = 0;
    bool operator==(const ChartPoint&) const = default;
};

// A line is broken where a wheel was silent for longer than this (two of
// the longest intervals at which a steady wheel is stored), and where the
// program ended or started between two of its readings.
inline constexpr TimeMs kLineBreakGap = 2 * Decimator::kKeepEvery;
inline constexpr TimeMs kOpenEnd = std::numeric_limits<TimeMs>::max();

// One unbroken piece of a wheel's line. Its last value held at most until
// `endsBy`: where the next piece starts or the program ended.
struct ChartSegment {
    std::vector<ChartPoint> points;
    TimeMs endsBy = kOpenEnd;
    bool operator==(const ChartSegment&) const = default;
};

// When the program ended and started, each in time order.
struct RunEdges {
    std::vector<TimeMs> ends;
    std::vector<TimeMs> starts;
};

// Reduces a time-ordered series for a chart `columns` pixels wide: each
// column keeps its minimum and its maximum, in time order, so no peak is
// lost and no more than two points a column are drawn. The series is broken
// into pieces at gaps longer than kLineBreakGap and where the program ended
// or started; a break narrower than two columns could not be seen and is
// left out, which also bounds the number of pieces.
class ColumnReducer {
public:
    ColumnReducer(TimeMs from, TimeMs to, int columns, RunEdges runs = {});
    void add(TimeMs time, double value);
    std::vector<ChartSegment> finish();

private:
    void closeColumn();
    void breakLine(TimeMs endsBy);
    // The first end of a run from `last` on, or start of one after it, before
    // a reading at `next` (kOpenEnd: none follows); nothing when there is none.
    std::optional<TimeMs> runEdgeBetween(TimeMs last, TimeMs next) const;

    TimeMs from_;
    TimeMs span_;
    int columns_;
    TimeMs narrowestBreak_;
    RunEdges runs_;
    long column_ = -1;
    std::optional<TimeMs> last_;
    ChartPoint min_{};
    ChartPoint max_{};
    std::vector<ChartPoint> out_;
    std::vector<ChartSegment> segments_;
};

// One wheel's reduced lines: raw pressure (half-psi steps) and degrees Celsius.
struct WheelLines {
    std::vector<ChartSegment> pressure;
    std::vector<ChartSegment> temperature;
    // Cold pressure (at 20 °C), in half-psi steps like pressure; over long
    // ranges from each summary bucket's middle values.
    std::vector<ChartSegment> cold;
};

struct ChartData {
    std::map<int, WheelLines> wheels; // every wheel with a reading in the range
    std::vector<Event> events;
    bool ok = true;
    // Set when the range reaches back before the oldest reading kept and
    // would show readings: before this time it shows minute summaries.
    std::optional<TimeMs> summariesBefore;
};

// Reads the range from the store and reduces each wheel's lines to `columns`.
// A range a column of which is narrower than a minute shows the readings,
// and minute summaries where the readings are no longer kept; a wider one
// the coarsest summaries no wider than a column, and the readings after
// the newest of them. Readings without a value (no reading, aged) leave
// that line out.
ChartData loadChart(HistoryStore& store, TimeMs from, TimeMs to, int columns);

// "Readings before 2026-11-07 14:00 are no longer kept; minute summaries are
// shown there." for a chart that shows summaries there; empty otherwise.
QString summaryNote(const ChartData& data);

} // namespace vorn::history
