// The history's targets: storing at least 50,000 rows a second through the
// batched writer; 30 days of six wheels at one row every 10 s (about 1.5
// million rows) queried and reduced for a 1,000-pixel chart in under 300 ms;
// under 20 us of the GUI thread's time per stored report.
#include "history/HistoryWriter.h"
#include "history/Reducer.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace vorn::history {
namespace {

using std::chrono::milliseconds;

constexpr TimeMs kStart = 1'796'600'000'000;

Reading changing(std::int64_t i) {
    return {kStart + i,
            static_cast<int>(i % 6),
            static_cast<std::int32_t>(40 + i % 50),
            static_cast<std::int32_t>(60 + i % 30),
            0,
            true,
            ReportLink::Serial};
}

void BM_WriterStoresRows(benchmark::State& state) {
    const auto rows = static_cast<std::int64_t>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        const QTemporaryDir dir;
        WriterConfig config;
        config.path = dir.filePath(QStringLiteral("h.sqlite"));
        config.capacity = static_cast<std::size_t>(rows);
        auto writer = std::make_unique<HistoryWriter>(config);
        writer->waitUntilOpen(milliseconds{5000});
        state.ResumeTiming();
        for (std::int64_t i = 0; i < rows; ++i)
            writer->addReading(changing(i));
        if (!writer->flush(milliseconds{60'000}) || writer->status().dropped != 0)
            state.SkipWithError("rows were not all written");
        state.PauseTiming();
        writer.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_WriterStoresRows)
    ->Arg(50'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

// 30 days, six wheels, one row every 10 s, written once for all runs.
const QString& thirtyDayFile() {
    static const QTemporaryDir dir;
    static const QString path = [] {
        const QString file = dir.filePath(QStringLiteral("30days.sqlite"));
        HistoryStore store;
        store.open(file, OpenMode::ReadWrite);
        std::vector<Reading> rows;
        for (TimeMs t = 0; t < 30 * kMsPerDay; t += 10'000) {
            for (int wheel = 0; wheel < 6; ++wheel)
                rows.push_back({kStart + t, wheel, static_cast<std::int32_t>(60 + (t / 7'000) % 9),
                                static_cast<std::int32_t>(60 + (t / 60'000) % 40), 0, true,
                                ReportLink::Serial});
            if (rows.size() >= 100'000) {
                store.write(rows, {});
                rows.clear();
            }
        }
        store.write(rows, {});
        return file;
    }();
    return path;
}

void BM_QueryAndReduceThirtyDays(benchmark::State& state) {
    const QString& path = thirtyDayFile();
    std::size_t points = 0;
    for (auto _ : state) {
        HistoryStore store;
        store.open(path, OpenMode::ReadOnly);
        const ChartData data = loadChart(store, kStart, kStart + 30 * kMsPerDay, 1000);
        points = 0;
        for (const auto& [wheel, lines] : data.wheels)
            for (const auto* pieces : {&lines.pressure, &lines.temperature})
                for (const ChartSegment& piece : *pieces)
                    points += piece.points.size();
        benchmark::DoNotOptimize(points);
    }
    state.counters["points"] = static_cast<double>(points);
}
BENCHMARK(BM_QueryAndReduceThirtyDays)->Unit(benchmark::kMillisecond)->Iterations(5);

// What the GUI thread spends on one report: decimation and the queue. Every
// report changes, so each one is queued; the writer drains meanwhile.
void BM_GuiThreadCostPerReport(benchmark::State& state) {
    const QTemporaryDir dir;
    WriterConfig config;
    config.path = dir.filePath(QStringLiteral("h.sqlite"));
    config.report = [](const QString&) {}; // far faster than any disk: drops are expected
    HistoryWriter writer(config);
    writer.waitUntilOpen(milliseconds{5000});
    std::int64_t i = 0;
    for (auto _ : state)
        writer.addReading(changing(i++));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GuiThreadCostPerReport)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace vorn::history

int main(int argc, char** argv) {
    // Qt's SQLite driver is a plugin, found through the application object.
    const QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
