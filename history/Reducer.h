#pragma once

#include "history/HistoryTypes.h"

#include <map>
#include <vector>

namespace vorn::history {

class HistoryStore;

struct ChartPoint {
    TimeMs time = 0;
    double value = 0;
    bool operator==(const ChartPoint&) const = default;
};

// Reduces a time-ordered series for a chart `columns` pixels wide: each
// column keeps its minimum and its maximum, in time order, so no peak is
// lost and no more than two points a column are drawn.
class ColumnReducer {
public:
    ColumnReducer(TimeMs from, TimeMs to, int columns);
    void add(TimeMs time, double value);
    std::vector<ChartPoint> finish();

private:
    void closeColumn();

    TimeMs from_;
    TimeMs span_;
    int columns_;
    long column_ = -1;
    ChartPoint min_{};
    ChartPoint max_{};
    std::vector<ChartPoint> out_;
};

// One wheel's reduced lines: raw pressure (half-psi steps) and degrees Celsius.
struct WheelLines {
    std::vector<ChartPoint> pressure;
    std::vector<ChartPoint> temperature;
};

struct ChartData {
    std::map<int, WheelLines> wheels; // every wheel with a reading in the range
    std::vector<Event> events;
    bool ok = true;
};

// Reads the range from the store and reduces each wheel's lines to `columns`.
// Readings without a value (no reading, aged) leave that line out.
ChartData loadChart(HistoryStore& store, TimeMs from, TimeMs to, int columns);

} // namespace vorn::history
