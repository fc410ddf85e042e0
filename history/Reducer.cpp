#include "history/Reducer.h"

#include "history/HistoryStore.h"

#include <algorithm>
#include <memory>

namespace vorn::history {

namespace {

// The display shows dashes from these raw values on.
constexpr std::int32_t kNoPressure = 400;
constexpr std::int32_t kNoTemperature = 199;

// The coarsest summary whose buckets are no wider than a column, or 0 for
// the readings themselves.
TimeMs levelFor(TimeMs from, TimeMs to, int columns) {
    const TimeMs column = (to - from) / std::max(1, columns);
    TimeMs chosen = 0;
    for (const TimeMs level : kSummaryLevels) {
        if (level <= column)
            chosen = level;
    }
    return chosen;
}

} // namespace

ColumnReducer::ColumnReducer(TimeMs from, TimeMs to, int columns)
    : from_(from), span_(std::max<TimeMs>(1, to - from)), columns_(std::max(1, columns)) {}

void ColumnReducer::add(TimeMs time, double value) {
    const TimeMs offset = std::clamp<TimeMs>(time - from_, 0, span_);
    const long column =
        static_cast<long>(std::min<TimeMs>(offset * columns_ / span_, columns_ - 1));
    const ChartPoint point{time, value};
    if (column != column_) {
        closeColumn();
        column_ = column;
        min_ = max_ = point;
        return;
    }
    if (value < min_.value)
        min_ = point;
    if (value > max_.value)
        max_ = point;
}

void ColumnReducer::closeColumn() {
    if (column_ < 0)
        return;
    if (min_ == max_) {
        out_.push_back(min_);
    } else if (min_.time <= max_.time) {
        out_.push_back(min_);
        out_.push_back(max_);
    } else {
        out_.push_back(max_);
        out_.push_back(min_);
    }
}

std::vector<ChartPoint> ColumnReducer::finish() {
    closeColumn();
    column_ = -1;
    return std::move(out_);
}

ChartData loadChart(HistoryStore& store, TimeMs from, TimeMs to, int columns) {
    struct Reducers {
        ColumnReducer pressure;
        ColumnReducer temperature;
    };
    std::map<int, std::unique_ptr<Reducers>> reducers;
    const auto of = [&](int wheel) -> Reducers& {
        auto& slot = reducers[wheel];
        if (!slot)
            slot = std::make_unique<Reducers>(Reducers{{from, to, columns}, {from, to, columns}});
        return *slot;
    };
    ChartData data;
    if (const TimeMs level = levelFor(from, to, columns); level > 0) {
        // A bucket's lowest value stands at its start, its highest at its
        // end: both fall in the same pixel column.
        data.ok = store.forEachSummary(level, from, to, [&](const Summary& s) {
            Reducers& r = of(s.wheel);
            if (s.pressureMin) {
                r.pressure.add(s.first, *s.pressureMin);
                r.pressure.add(s.last, *s.pressureMax);
            }
            if (s.temperatureMin) {
                r.temperature.add(s.first, *s.temperatureMin - 40);
                r.temperature.add(s.last, *s.temperatureMax - 40);
            }
        });
    } else {
        data.ok = store.forEachReading(from, to, [&](const Reading& r) {
            if (r.pressure >= 0 && r.pressure < kNoPressure)
                of(r.wheel).pressure.add(r.time, r.pressure);
            if (r.temperature < kNoTemperature)
                of(r.wheel).temperature.add(r.time, r.temperature - 40);
        });
    }
    for (auto& [wheel, r] : reducers)
        data.wheels[wheel] = {r->pressure.finish(), r->temperature.finish()};
    data.events = store.events(from, to);
    return data;
}

} // namespace vorn::history
