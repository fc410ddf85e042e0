// The history's targets: storing at least 50,000 rows a second through the
// batched writer; 30 days of six wheels at one row every 10 s (about 1.5
// million rows) queried and reduced for a 1,000-pixel chart in under 300 ms;
// under 20 us of the GUI thread's time per stored report; at the simulated
// unit's steady rate at most 1 KB handed to the disk per stored reading, and
// a file of at most 250 MB after 400 days.
#include "CountingVfs.h"
#include "history/HistoryWriter.h"
#include "history/Reducer.h"
#include "protocol/FrameParser.h"
#include "sim/UnitModel.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <atomic>
#include <benchmark/benchmark.h>
#include <sqlite3.h>

namespace vorn::history {
using bench::diskWrites;
using bench::DiskWrites;
using bench::installCountingVfs;
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
                store.write(rows, {}, bucketsOf(rows));
                rows.clear();
            }
        }
        store.write(rows, {}, bucketsOf(rows));
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

// The window's side of the line: every stored sensor report becomes a
// reading, timed by the poll that read it.
class ReadingsToWriter : public MonitorEffects {
public:
    ReadingsToWriter(TyreStateTable& table, HistoryWriter& writer)
        : table_(table), writer_(writer) {}
    TimeMs now = 0;
    void sensorStored(int wheel, ReportLink link) override {
        const auto w = static_cast<std::size_t>(wheel);
        writer_.addReading({now, wheel, table_.TyrePressure[w], table_.TyreTemperature[w],
                            table_.TyreBattery[w], (table_.TyreStatus[w] & 1) != 0, link});
    }
    void setBrandCaption(std::string_view) override {}
    void setBrandColour(PanelColour) override {}
    PanelColour brandColour() const override { return PanelColour::SkyBlue; }
    void setCalibrationCaption(std::string_view) override {}
    void setCalibrationColour(PanelColour) override {}
    void setFactoryColour(PanelColour) override {}
    void setFrequencyText(std::string_view) override {}
    void playTone(int, int) override {}

private:
    TyreStateTable& table_;
    HistoryWriter& writer_;
};

// Bytes of the file's pages per table (index pages counted with their table).
std::map<std::string, double> tableBytes(const QString& path) {
    std::map<std::string, double> bytes;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* query = nullptr;
        sqlite3_prepare_v2(db,
                           "SELECT coalesce(m.tbl_name, d.name), SUM(d.pgsize) FROM dbstat d "
                           "LEFT JOIN sqlite_schema m ON m.name = d.name GROUP BY 1",
                           -1, &query, nullptr);
        while (query && sqlite3_step(query) == SQLITE_ROW)
            bytes[reinterpret_cast<const char*>(sqlite3_column_text(query, 0))] =
                sqlite3_column_double(query, 1);
        sqlite3_finalize(query);
    }
    sqlite3_close(db);
    return bytes;
}

// The simulated unit's steady scenario on six wheels for `range(0)` minutes,
// polled every 100 ms as the window does, through the writer with its
// batches of 30 s. Prints what went to the disk per stored reading and the
// size of the file after 400 days: 30 of readings, 400 of summaries.
void BM_SteadyUnitDiskWritesAndSize(benchmark::State& state) {
    installCountingVfs();
    const TimeMs span = state.range(0) * 60'000;
    for (auto _ : state) {
        const QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("h.sqlite"));
        std::atomic<TimeMs> clock = kStart;
        std::uint64_t rows = 0;
        WriterConfig config;
        config.path = path;
        config.clock = [&clock] { return clock.load(); };
        config.committed = [&rows](std::uint64_t n) { rows = n; };
        const DiskWrites before = diskWrites();
        {
            HistoryWriter writer(config);
            writer.waitUntilOpen(milliseconds{5000});
            TyreStateTable table;
            ReadingsToWriter effects(table, writer);
            FrameParser parser(table, effects);
            sim::UnitModel unit(sim::UnitConfig{.scenario = sim::Scenario::Steady, .wheels = 6});
            for (TimeMs t = 0; t < span; t += 100) {
                unit.advance(milliseconds{100});
                clock = effects.now = kStart + t;
                const std::string bytes = unit.takeSerialBytes();
                parser.feedSerial(
                    {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
                if (t % 30'000 == 0)
                    writer.flush(milliseconds{60'000});
            }
        }
        const DiskWrites written = diskWrites();
        const auto tables = tableBytes(path);
        const double days = static_cast<double>(span) / kMsPerDay;
        double raw = 0, rest = 0;
        for (const auto& [name, bytes] : tables)
            (name == "readings" ? raw : rest) += bytes;
        state.counters["rows"] = static_cast<double>(rows);
        state.counters["bytes_per_row"] =
            static_cast<double>(written.bytes - before.bytes) / static_cast<double>(rows);
        state.counters["log_share"] = static_cast<double>(written.logBytes - before.logBytes) /
                                      static_cast<double>(written.bytes - before.bytes);
        state.counters["writes"] = static_cast<double>(written.writes - before.writes);
        state.counters["syncs"] = static_cast<double>(written.syncs - before.syncs);
        // An hour fills too few pages to tell a day's size by.
        if (days >= 1) {
            state.counters["raw_MB_per_day"] = raw / days / 1e6;
            state.counters["summary_MB_per_day"] = rest / days / 1e6;
            state.counters["projected_400d_MB"] = (raw / days * 30 + rest / days * 400) / 1e6;
        }
    }
}
BENCHMARK(BM_SteadyUnitDiskWritesAndSize)
    ->Arg(60)
    ->Arg(24 * 60)
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

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
