#include "history/Reducer.h"

#include "history/HistoryStore.h"
#include "insight/ColdPressure.h"

#include <QDateTime>
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

ColumnReducer::ColumnReducer(TimeMs from, TimeMs to, int columns, RunEdges runs)
    : from_(from), span_(std::max<TimeMs>(1, to - from)), columns_(std::max(1, columns)),
      narrowestBreak_(2 * span_ / columns_), runs_(std::move(runs)) {}

void ColumnReducer::add(TimeMs time, double value) {
    if (last_ && time - *last_ > narrowestBreak_) {
        if (const std::optional<TimeMs> edge = runEdgeBetween(*last_, time))
            breakLine(*edge);
        else if (time - *last_ > kLineBreakGap)
            breakLine(time);
    }
    last_ = time;
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

std::optional<TimeMs> ColumnReducer::runEdgeBetween(TimeMs last, TimeMs next) const {
    std::optional<TimeMs> edge;
    // An end at the last reading's own millisecond still ends its run; a
    // start at the next reading's millisecond still begins the next one.
    const auto end = std::lower_bound(runs_.ends.begin(), runs_.ends.end(), last);
    if (end != runs_.ends.end() && *end < next)
        edge = *end;
    const auto start = std::upper_bound(runs_.starts.begin(), runs_.starts.end(), last);
    if (start != runs_.starts.end() && *start <= next && (!edge || *start < *edge))
        edge = *start;
    return edge;
}

void ColumnReducer::breakLine(TimeMs endsBy) {
    closeColumn();
    column_ = -1;
    segments_.push_back({std::move(out_), endsBy});
    out_.clear();
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

std::vector<ChartSegment> ColumnReducer::finish() {
    if (last_)
        breakLine(runEdgeBetween(*last_, kOpenEnd).value_or(kOpenEnd));
    last_.reset();
    return std::move(segments_);
}

ChartData loadChart(HistoryStore& store, TimeMs from, TimeMs to, int columns) {
    ChartData data;
    data.events = store.events(from, to);
    RunEdges runs;
    for (const Event& e : data.events) {
        if (e.kind == EventKind::ProgramEnded)
            runs.ends.push_back(e.time);
        else if (e.kind == EventKind::ProgramStarted)
            runs.starts.push_back(e.time);
    }
    struct Reducers {
        ColumnReducer pressure;
        ColumnReducer temperature;
        ColumnReducer cold;
        void addCold(TimeMs time, double pressure, double temperature) {
            if (pressure >= 0 && pressure < kNoPressure && temperature >= 0 &&
                temperature < kNoTemperature)
                cold.add(time, 2 * insight::coldPressurePsi(pressure / 2, temperature - 40));
        }
    };
    std::map<int, std::unique_ptr<Reducers>> reducers;
    const auto of = [&](int wheel) -> Reducers& {
        auto& slot = reducers[wheel];
        if (!slot)
            slot = std::make_unique<Reducers>(Reducers{
                {from, to, columns, runs}, {from, to, columns, runs}, {from, to, columns, runs}});
        return *slot;
    };
    // Summaries before `split`, readings from it on.
    const TimeMs chosen = levelFor(from, to, columns);
    const TimeMs level = chosen > 0 ? chosen : kSummaryLevels.front();
    const TimeMs split = store.readingsFrom(level, chosen == 0).value_or(kOpenEnd);
    if (from < split) {
        // Where readings would be shown, summaries stand in for those no
        // longer kept.
        if (chosen == 0 && split != kOpenEnd)
            data.summariesBefore = split;
        bool any = false;
        // A bucket's lowest value stands at its start, its highest at its
        // end: both fall in the same pixel column.
        data.ok = store.forEachSummary(level, from, std::min(to, split - 1), [&](const Summary& s) {
            any = true;
            Reducers& r = of(s.wheel);
            if (s.pressureMin) {
                r.pressure.add(s.first, *s.pressureMin);
                r.pressure.add(s.last, *s.pressureMax);
            }
            if (s.temperatureMin) {
                r.temperature.add(s.first, *s.temperatureMin - 40);
                r.temperature.add(s.last, *s.temperatureMax - 40);
            }
            if (s.pressureMin && s.temperatureMin)
                r.addCold(s.last, (*s.pressureMin + *s.pressureMax) / 2.0,
                          (*s.temperatureMin + *s.temperatureMax) / 2.0);
        });
        if (!any)
            data.summariesBefore.reset();
    }
    if (data.ok && to >= split) {
        data.ok = store.forEachReading(std::max(from, split), to, [&](const Reading& r) {
            if (r.pressure >= 0 && r.pressure < kNoPressure)
                of(r.wheel).pressure.add(r.time, r.pressure);
            if (r.temperature < kNoTemperature)
                of(r.wheel).temperature.add(r.time, r.temperature - 40);
            of(r.wheel).addCold(r.time, r.pressure, r.temperature);
        });
    }
    for (auto& [wheel, r] : reducers)
        data.wheels[wheel] = {r->pressure.finish(), r->temperature.finish(), r->cold.finish()};
    return data;
}

QString summaryNote(const ChartData& data) {
    if (!data.summariesBefore)
        return {};
    return QStringLiteral(
               "Readings before %1 are no longer kept; minute summaries are shown there.")
        .arg(QDateTime::fromMSecsSinceEpoch(*data.summariesBefore)
                 .toString(QStringLiteral("yyyy-MM-dd HH:mm")));
}

} // namespace vorn::history
