// The tyre analysis's targets: at most 5 us of the GUI thread's time per
// reading, and `vorn --tyre-report` over 400 days of six wheels at one
// reading a minute (3.5 million rows) in under 2 s, reading the file
// included.
#include "app/TyreReport.h"
#include "history/HistoryStore.h"
#include "insight/LiveInsight.h"
#include "tests/insight/Synthetic.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <vector>

namespace vorn::insight {
namespace {

constexpr int kWheels = 6;
constexpr TimeMs kStart = 1'762'000'000'000; // November 2025

// Wheel 3 leaks a psi a day from `leakFrom`; the others keep their air.
std::pair<std::int32_t, std::int32_t> reading(int wheel, TimeMs t, TimeMs leakFrom) {
    const double cold = wheel == 3 ? test::leaking(34, 1, leakFrom, t) : 33 + 0.3 * wheel;
    return test::rawReading(cold, test::tyreCelsius(t) + wheel * 0.4);
}

// Two days of each wheel's raw values, computed once, replayed with the
// clock running on: the readings repeat daily, the time never does.
struct Replay {
    explicit Replay(TimeMs every) : every(every) {
        for (TimeMs t = 0; t < 2 * kDayMs; t += every)
            for (int wheel = 0; wheel < kWheels; ++wheel)
                raw.push_back(reading(wheel, t, kDayMs * 1000));
    }
    TimeMs every;
    std::vector<std::pair<std::int32_t, std::int32_t>> raw;
};

// One reading as the GUI thread hands it over (the analysis and the glance
// the outputs read), each wheel reporting every `every` ms; the half-hourly
// fits are spread over the readings.
void BM_CostPerReading(benchmark::State& state) {
    const Replay replay(state.range(0));
    TimeMs t = kStart;
    LiveInsight live({}, 26, [&t] { return t; });
    std::size_t i = 0;
    for (auto _ : state) {
        const auto [p, temp] = replay.raw[i];
        live.reading(static_cast<int>(i % kWheels), p, temp);
        if (++i == replay.raw.size())
            i = 0;
        if (i % kWheels == 0)
            t += replay.every;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["days"] = static_cast<double>(t - kStart) / kDayMs;
}
BENCHMARK(BM_CostPerReading)
    ->ArgName("every_ms")
    ->Arg(1'000)
    ->Arg(60'000)
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(2);

constexpr int kDays = 400;

// 400 days, six wheels, a reading a minute, written once for all runs in
// the program's own file format.
const QString& fourHundredDays() {
    static const QTemporaryDir dir;
    static const QString path = [] {
        const QString file = dir.filePath(QStringLiteral("400days.sqlite"));
        history::HistoryStore store;
        store.open(file, history::OpenMode::ReadWrite);
        const TimeMs leakFrom = kStart + (kDays - 5) * kDayMs;
        std::vector<history::Reading> rows;
        for (TimeMs t = kStart; t < kStart + kDays * kDayMs; t += kMinuteMs) {
            for (int wheel = 0; wheel < kWheels; ++wheel) {
                const auto [p, temp] = reading(wheel, t, leakFrom);
                rows.push_back({t, wheel, p, temp, 0, true, ReportLink::Serial});
            }
            if (rows.size() >= 200'000) {
                store.write(rows, {}, history::bucketsOf(rows));
                rows.clear();
            }
        }
        store.write(rows, {}, history::bucketsOf(rows));
        return file;
    }();
    return path;
}

void BM_TyreReportFourHundredDays(benchmark::State& state) {
    const QString& path = fourHundredDays();
    bool leakFound = false;
    for (auto _ : state) {
        const TyreReportResult result = analyseHistory(path, std::nullopt, {}, 26);
        if (!result.report || result.report->wheels.size() != kWheels) {
            state.SkipWithError("the report failed");
            break;
        }
        leakFound = result.report->wheels[3].second.slowLeak;
        benchmark::DoNotOptimize(result);
    }
    state.counters["rows"] = static_cast<double>(kDays) * 24 * 60 * kWheels;
    state.counters["leak_found"] = leakFound ? 1 : 0;
}
BENCHMARK(BM_TyreReportFourHundredDays)->Unit(benchmark::kMillisecond)->Iterations(3);

// The reading of the file alone, to tell the store's share from the analysis's.
void BM_ReadFourHundredDays(benchmark::State& state) {
    const QString& path = fourHundredDays();
    for (auto _ : state) {
        history::HistoryStore store;
        store.open(path, history::OpenMode::ReadOnly);
        std::int64_t rows = 0;
        store.forEachReading(0, kStart + kDays * kDayMs, [&](const history::Reading&) { ++rows; });
        benchmark::DoNotOptimize(rows);
    }
}
BENCHMARK(BM_ReadFourHundredDays)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
} // namespace vorn::insight

int main(int argc, char** argv) {
    // Qt's SQLite driver is a plugin, found through the application object.
    const QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
