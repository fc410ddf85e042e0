#include "history/CsvExport.h"
#include "history/HistoryWriter.h"
#include "history/Reducer.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

namespace vorn::history {
namespace {

using std::chrono::hours;
using std::chrono::milliseconds;

constexpr TimeMs kHour = 3'600'000;

Reading reading(TimeMs time, int wheel, std::int32_t pressure, std::int32_t temperature = 65) {
    return {time, wheel, pressure, temperature, 0, true, ReportLink::Serial};
}

// A connection of its own to the file, for SQL behind the store's back.
struct RawConnection {
    explicit RawConnection(const QString& path) {
        db.setDatabaseName(path);
        EXPECT_TRUE(db.open());
    }
    ~RawConnection() {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("raw"));
    }
    bool exec(const QString& sql) { return QSqlQuery(db).exec(sql); }
    QVariant value(const QString& sql) {
        QSqlQuery query(db);
        return query.exec(sql) && query.next() ? query.value(0) : QVariant();
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
};

std::vector<Reading> readAll(const QString& path) {
    HistoryStore store;
    EXPECT_TRUE(store.open(path, OpenMode::ReadOnly).usable());
    std::vector<Reading> all;
    store.forEachReading(0, std::numeric_limits<TimeMs>::max(),
                         [&](const Reading& r) { all.push_back(r); });
    return all;
}

// A writer that writes only when flushed, with a fixed clock and its reports
// kept; a lock is waited for 100 ms, a failed batch tried again within 20 to 200 ms.
struct ManualWriter {
    explicit ManualWriter(const QString& path, std::size_t capacity = 1000, int days = 400,
                          TimeMs now = 1000 * kMsPerDay) {
        writer = std::make_unique<HistoryWriter>(
            WriterConfig{path,
                         days,
                         hours{1},
                         capacity,
                         [now] { return now; },
                         [this](const QString& line) { reports.push_back(line); },
                         {},
                         milliseconds{100},
                         milliseconds{20},
                         milliseconds{200}});
        writer->waitUntilOpen(milliseconds{5000});
    }
    // Read only after a flush or the writer's end, which order them after its writes.
    int said(const QString& part) const {
        return static_cast<int>(std::ranges::count_if(
            reports, [&](const QString& line) { return line.contains(part); }));
    }
    std::vector<QString> reports;
    std::unique_ptr<HistoryWriter> writer;
};

// Polls `condition` until it holds, for at most 10 s.
bool eventually(const std::function<bool()>& condition) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.hasExpired(10'000))
            return false;
        std::this_thread::sleep_for(milliseconds{5});
    }
    return true;
}

int modeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

TEST(Decimator, KeepsEveryChangeAndASteadyWheelOnceAMinute) {
    Decimator d;
    int kept = 0;
    for (TimeMs t = 0; t < 180'000; t += 42) // three minutes of a steady unit
        kept += d.keep(reading(t, 0, 64)) ? 1 : 0;
    EXPECT_EQ(kept, 3); // at 0 s, 60.018 s and 120.036 s
    EXPECT_TRUE(d.keep(reading(180'001, 0, 63)));
    EXPECT_TRUE(d.keep(reading(180'002, 1, 63))) << "each wheel on its own";
    EXPECT_FALSE(d.keep(reading(180'003, 1, 63)));
    EXPECT_FALSE(d.keep(reading(0, 16, 63))) << "no such wheel";
}

TEST(HistoryStore, OpensFreshFilesRefusesBrokenNewerOrLockedOnesAndNoWriterTouchesThem) {
    const test::WorkDir dir;
    const mode_t umaskBefore = ::umask(022); // what most users have: new files readable by all
    const QString newer = dir.file("newer.sqlite"), corrupt = dir.file("corrupt.sqlite"),
                  locked = dir.file("locked.sqlite");
    for (const QString& path : {newer, locked})
        HistoryStore().open(path, OpenMode::ReadWrite);
    RawConnection(newer).exec("PRAGMA user_version=2");
    dir.write("corrupt.sqlite", QByteArray(8192, 'x'));
    RawConnection holder(locked);
    holder.exec("BEGIN EXCLUSIVE");
    const struct {
        QString path;
        OpenResult::State state;
        QString reason;
    } cases[] = {
        {dir.file("fresh.sqlite"), OpenResult::State::Writable, ""},
        {newer, OpenResult::State::ReadOnly, "newer version (2)"},
        {corrupt, OpenResult::State::Failed, "not a database"},
        {locked, OpenResult::State::Failed, "locked"},
        {dir.file("corrupt.sqlite/below/history.sqlite"), OpenResult::State::Failed, "folder"},
    };
    for (const auto& c : cases) {
        HistoryStore store;
        const OpenResult result = store.open(c.path, OpenMode::ReadWrite, milliseconds{100});
        EXPECT_EQ(result.state, c.state) << c.path.toStdString();
        EXPECT_TRUE(result.reason.contains(c.reason)) << result.reason.toStdString();
        EXPECT_EQ(store.writable(), c.state == OpenResult::State::Writable);
        if (c.state == OpenResult::State::Writable) {
            store.write(std::vector{reading(1, 0, 60)}, {});
            for (const char* suffix : {"", "-wal", "-shm"}) // driving times are private
                EXPECT_EQ(modeOf(c.path + suffix), 0600) << suffix;
        }
    }
    ::umask(umaskBefore);
    EXPECT_EQ(QFile(corrupt).size(), 8192) << "a broken file is left as it was";
    ManualWriter w(newer); // the writer says so once and leaves it untouched
    w.writer->addReading(reading(1, 0, 60));
    w.writer->flush(milliseconds{1000});
    EXPECT_EQ(w.writer->status().state, HistoryWriter::State::ReadOnly);
    EXPECT_EQ(w.reports.size(), 1u);
    EXPECT_TRUE(readAll(newer).empty());
}

TEST(HistoryWriter, WritesInBatchesAndDropsTheOldestWhenTheQueueIsFull) {
    const test::WorkDir dir;
    const QString path = dir.file("h.sqlite");
    ManualWriter w(path, 5);
    for (int i = 0; i < 8; ++i)
        w.writer->addReading(reading(i, 0, 60 + i));
    EXPECT_TRUE(readAll(path).empty()) << "nothing is written before the batch is due";
    ASSERT_TRUE(w.writer->flush(milliseconds{5000}));
    const std::vector<Reading> kept = readAll(path);
    ASSERT_EQ(kept.size(), 5u);
    EXPECT_EQ(kept.front().pressure, 63);
    EXPECT_EQ(w.writer->status().dropped, 3u);
    w.writer->addEvent({9, EventKind::AlarmRaised, 2, 3});
    for (int i = 0; i < 7; ++i)
        w.writer->addReading(reading(10 + i, 0, 80 + i));
    ASSERT_TRUE(w.writer->flush(milliseconds{5000}));
    ASSERT_EQ(w.reports.size(), 1u) << "the drops are reported once";
    EXPECT_TRUE(w.reports[0].contains("3 queued rows were dropped"));
    EXPECT_EQ(w.writer->status().dropped, 6u);
}

TEST(HistoryWriter, RemovesRowsOlderThanTheRetentionCountedFromTheNewestRowAtTheLatest) {
    const TimeMs now = 1000 * kMsPerDay; // when the rows were written
    const struct {
        int days;
        TimeMs clockAhead;
        std::size_t left;
        int clockBehindSaid;
    } cases[] = {
        {400, 0, 3, 0},
        {100, 0, 2, 0},
        {400, 401 * kMsPerDay, 3, 0}, // a clock far ahead keeps 400 days before the newest row
        {1, kMsPerDay, 1, 0},         // and one a day ahead keeps that row's day
        {400, -2 * kHour, 3, 1},      // a clock behind the newest row is said
    };
    for (const auto& c : cases) {
        const test::WorkDir dir;
        const QString path = dir.file("h.sqlite");
        {
            ManualWriter w(path, 1000, 400, now);
            int pressure = 60;
            for (TimeMs age : {500 * kMsPerDay, 300 * kMsPerDay, 3 * kMsPerDay, kHour})
                w.writer->addReading(reading(now - age, 0, ++pressure));
            w.writer->addEvent({now - 500 * kMsPerDay, EventKind::ProgramStarted, -1, 0});
        }
        ManualWriter w(path, 1000, c.days, now + c.clockAhead);
        ASSERT_TRUE(w.writer->flush(milliseconds{5000})); // the removal runs just after the open
        EXPECT_EQ(readAll(path).size(), c.left) << c.days << " days, clock " << c.clockAhead;
        EXPECT_EQ(w.said("is behind the newest stored reading"), c.clockBehindSaid);
        HistoryStore store;
        store.open(path, OpenMode::ReadOnly);
        EXPECT_TRUE(store.events(0, now).empty());
    }
}

// A reader never holds the writer up (WAL), but a lock or a full disk does:
// the batch is kept, tried again, and written once the cause is gone.
TEST(HistoryWriter, KeepsItsBatchWhileTheFileIsLockedOrTheDiskIsFull) {
    const test::WorkDir dir;
    const QString path = dir.file("h.sqlite");
    ManualWriter w(path);
    w.writer->addReading(reading(0, 0, 60));
    ASSERT_TRUE(w.writer->flush(milliseconds{5000}));
    std::optional<RawConnection> other(std::in_place, path);
    EXPECT_EQ(other->value("PRAGMA journal_mode").toString(), "wal");
    ASSERT_TRUE(other->exec("BEGIN") && other->value("SELECT COUNT(*) FROM readings") == 1);
    w.writer->addReading(reading(1, 0, 61));
    ASSERT_TRUE(w.writer->flush(milliseconds{5000})) << "the reader does not hold it up";
    EXPECT_EQ(other->value("SELECT COUNT(*) FROM readings"), 1) << "the reader's snapshot";
    EXPECT_EQ(readAll(path).size(), 2u);
    other->exec("COMMIT");

    rlimit disk{};
    getrlimit(RLIMIT_FSIZE, &disk);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    QElapsedTimer locked;
    const struct {
        const char* fault;
        std::function<void()> begin, end;
    } faults[] = {
        {"a lock held for 3 s",
         [&] {
             ASSERT_TRUE(other->exec("BEGIN IMMEDIATE"));
             locked.start();
         },
         [&] {
             std::this_thread::sleep_for(
                 milliseconds{std::max<qint64>(0, 3000 - locked.elapsed())});
             other->exec("ROLLBACK");
         }},
        // A disk that takes no more bytes, as a full one would.
        {"a full disk",
         [&] {
             const rlimit full{1, disk.rlim_max};
             setrlimit(RLIMIT_FSIZE, &full);
         },
         [&] { setrlimit(RLIMIT_FSIZE, &disk); }},
    };
    int pressure = 70;
    for (const auto& f : faults) {
        f.begin();
        const std::size_t before = readAll(path).size();
        for (int i = 0; i < 3; ++i, ++pressure)
            w.writer->addReading(reading(1000 + pressure, 0, pressure));
        EXPECT_FALSE(w.writer->flush(milliseconds{0}));
        const bool waited =
            eventually([&] { return w.writer->status().state == HistoryWriter::State::Waiting; });
        f.end();
        ASSERT_TRUE(waited) << f.fault;
        ASSERT_TRUE(w.writer->flush(milliseconds{10000})) << f.fault;
        EXPECT_EQ(readAll(path).size(), before + 3) << f.fault;
        EXPECT_EQ(w.writer->status().state, HistoryWriter::State::Writing);
    }
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(w.said("cannot write for now"), 2);
    EXPECT_EQ(w.said("writing again"), 2);
    EXPECT_EQ(w.writer->status().dropped, 0u);
}

// Another user's file, or one in a folder this user may not write: read for
// the history window and the export, never written.
TEST(HistoryWriter, AFileThatCannotBeWrittenIsReadButLeftAsItIs) {
    const test::WorkDir dir;
    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFile::Permissions(0x7755)));
    const struct {
        const char* name;
        QFile::Permissions file, folder;
    } cases[] = {
        {"read-only file", QFile::Permissions(0x4444), QFile::Permissions(0x7777)},
        {"read-only folder", QFile::Permissions(0x6666), QFile::Permissions(0x5555)},
    };
    for (const auto& c : cases) {
        const QString folder = dir.file(c.name);
        const QString path = folder + "/history.sqlite";
        ASSERT_TRUE(QDir().mkpath(folder));
        {
            ManualWriter w(path);
            w.writer->addReading(reading(5, 2, 60));
        }
        const QByteArray bytes = dir.read(QString(c.name) + "/history.sqlite");
        QFile::setPermissions(path, c.file);
        QFile::setPermissions(folder, c.folder);
        test::runUnprivileged([&] {
            ManualWriter w(path);
            EXPECT_EQ(w.writer->status().state, HistoryWriter::State::ReadOnly) << c.name;
            EXPECT_EQ(w.writer->storedLastReadings(), (std::map<int, TimeMs>{{2, 5}}));
            w.writer->addReading(reading(6, 2, 61));
            w.writer.reset();
            EXPECT_EQ(w.said("cannot be written here"), 1) << c.name;
            EXPECT_EQ(readAll(path).size(), 1u) << c.name;
        });
        QFile::setPermissions(folder, QFile::Permissions(0x7700)); // removable again
        EXPECT_EQ(dir.read(QString(c.name) + "/history.sqlite"), bytes) << c.name;
    }
}

TEST(Reducer, KeepsEachColumnsExtremesInTimeOrderAndBreaksWhereTheWheelWasNotHeard) {
    using Points = std::vector<std::pair<TimeMs, double>>;
    constexpr TimeMs s = 1000;
    const struct {
        const char* what;
        TimeMs to;
        int columns;
        RunEdges runs;
        Points points;
        std::vector<ChartSegment> pieces;
    } cases[] = {
        {"extremes",
         100,
         2,
         {},
         {{0, 5}, {10, 1}, {20, 9}, {30, 4}, {60, -3}, {70, -3}, {80, -2}},
         {{{{10, 1}, {20, 9}, {60, -3}, {80, -2}}, kOpenEnd}}},
        {"a silence of more than two minutes",
         1000 * s,
         1000,
         {},
         {{0, 5}, {10 * s, 6}, {131 * s, 7}, {250 * s, 8}},
         {{{{0, 5}, {10 * s, 6}}, 131 * s}, {{{131 * s, 7}, {250 * s, 8}}, kOpenEnd}}},
        {"the program's end and start",
         1000 * s,
         1000,
         {{10 * s, 40 * s}, {15 * s}},
         {{0, 5}, {10 * s, 6}, {20 * s, 7}, {30 * s, 8}},
         {{{{0, 5}, {10 * s, 6}}, 10 * s}, {{{20 * s, 7}, {30 * s, 8}}, 40 * s}}},
        {"a restart too short to be seen",
         1000 * s,
         10,
         {{15 * s}, {16 * s}},
         {{0, 5}, {10 * s, 6}, {20 * s, 7}},
         {{{{0, 5}, {20 * s, 7}}, kOpenEnd}}},
    };
    for (const auto& c : cases) {
        ColumnReducer r(0, c.to, c.columns, c.runs);
        for (auto [t, v] : c.points)
            r.add(t, v);
        EXPECT_EQ(r.finish(), c.pieces) << c.what;
    }
}

TEST(Reducer, LongRangesReadTheSummariesAndKeepTheSameExtremes) {
    const test::WorkDir dir;
    HistoryStore store;
    ASSERT_TRUE(store.open(dir.file("h.sqlite"), OpenMode::ReadWrite).usable());
    constexpr TimeMs from = 499'056 * 3'600'000LL; // on the hour
    constexpr TimeMs to = from + 3 * kMsPerDay;
    constexpr int columns = 12; // six hours a column: hourly summaries
    std::mt19937 random(3);
    using Extremes = std::map<int, std::pair<int, int>>; // column -> wheel 1's lowest and highest
    const auto widen = [&](Extremes& m, TimeMs t, int v) {
        auto [it, fresh] =
            m.try_emplace(static_cast<int>((t - from) * columns / (to - from)), v, v);
        it->second = {std::min(it->second.first, v), std::max(it->second.second, v)};
    };
    Extremes extremes;
    for (TimeMs day = from; day < to; day += kMsPerDay) {
        std::vector<Reading> batch; // one batch a day, so summaries are merged across batches
        for (TimeMs t = day; t < day + kMsPerDay; t += 10'000) {
            const int p = std::uniform_int_distribution<>(20, 90)(random);
            batch.push_back(reading(t, 1, p));
            widen(extremes, t, p);
        }
        ASSERT_TRUE(store.write(batch, {}));
    }
    const ChartData data = loadChart(store, from, to, columns);
    ASSERT_EQ(data.wheels.at(1).pressure.size(), 1u) << "one unbroken line";
    Extremes shown;
    for (const ChartPoint& p : data.wheels.at(1).pressure[0].points)
        widen(shown, p.time, static_cast<int>(p.value));
    EXPECT_EQ(shown, extremes);
    EXPECT_LE(data.wheels.at(1).pressure[0].points.size(), 2u * columns);
}

TEST(Csv, QuotesFieldsAndWritesTimesAndBothPressureUnits) {
    for (const auto& [text, field] :
         std::vector<std::pair<QString, QByteArray>>{{"plain", "plain"},
                                                     {"a,b", "\"a,b\""},
                                                     {"say \"hi\"", "\"say \"\"hi\"\"\""},
                                                     {"two\nlines", "\"two\nlines\""}})
        EXPECT_EQ(csvField(text), field);

    const struct {
        int unit;
        Reading r;
        QByteArray line;
    } lines[] = {
        {0, reading(0, 0, 65), "1970-01-01T00:00:00.000Z,0,32.5,32.5,25,0,1,serial,31.71\r\n"},
        {1, reading(1'796'606'902'173, 3, 65),
         "2026-12-07T01:28:22.173Z,3,32.5,2.24,25,0,1,serial,31.71\r\n"},
        {2, reading(0, 5, 290, 39),
         "1970-01-01T00:00:00.000Z,5,145.0,1000,-1,0,1,serial,157.32\r\n"},
        {3, reading(0, 1, 511, 511), "1970-01-01T00:00:00.000Z,1,,,,0,1,serial,\r\n"},
    };
    for (const auto& l : lines)
        EXPECT_EQ(csvLine(l.r, l.unit), l.line) << l.unit;
    EXPECT_EQ(
        csvHeader(3),
        "time_utc,wheel,pressure_psi,pressure_chosen_kg/cm2,temperature_c,battery,sensor_flag,"
        "link,cold_pressure_psi\r\n");
}

} // namespace
} // namespace vorn::history
