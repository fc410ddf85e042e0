#include "history/CsvExport.h"
#include "history/HistoryWriter.h"
#include "history/Reducer.h"
#include "history/Sqlite.h"
#include "tests/support/TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QVariant>
#include <QtCore/qtestsupport_core.h>
#include <atomic>
#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <variant>

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
        sqlite3* opened = nullptr;
        EXPECT_EQ(sqlite3_open(path.toUtf8().constData(), &opened), SQLITE_OK);
        db.reset(opened);
        sqlite3_busy_timeout(opened, 5000);
    }
    bool exec(const char* sql) {
        return sqlite3_exec(db.get(), sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    // The first column of the first row: an integer, a text or nothing.
    QVariant value(const char* sql) {
        sqlite3_stmt* prepared = nullptr;
        sqlite3_prepare_v2(db.get(), sql, -1, &prepared, nullptr);
        const Statement query(prepared);
        if (!query || sqlite3_step(prepared) != SQLITE_ROW)
            return {};
        switch (sqlite3_column_type(prepared, 0)) {
        case SQLITE_INTEGER:
            return QVariant::fromValue(sqlite3_column_int64(prepared, 0));
        case SQLITE_NULL:
            return {};
        default:
            return QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_column_text(prepared, 0)));
        }
    }
    Connection db;
};

std::vector<Reading> readAll(const QString& path) {
    HistoryStore store;
    EXPECT_TRUE(store.open(path, OpenMode::ReadOnly).usable());
    std::vector<Reading> all;
    store.forEachReading(0, std::numeric_limits<TimeMs>::max(),
                         [&](const Reading& r) { all.push_back(r); });
    return all;
}

// A writer that writes only when flushed or when an event comes, with a
// fixed clock and its reports kept; a lock is waited for 100 ms, a failed
// batch tried again within 20 to 200 ms.
struct ManualWriter {
    explicit ManualWriter(const QString& path, std::size_t capacity = 1000, Retention keep = {},
                          TimeMs now = 1000 * kMsPerDay) {
        writer = std::make_unique<HistoryWriter>(
            WriterConfig{.path = path,
                         .retention = keep,
                         .batchEvery = hours{1},
                         .capacity = capacity,
                         .clock = [now] { return now; },
                         .report = [this](const QString& line) { reports.push_back(line); },
                         .busyTimeout = milliseconds{100},
                         .retryFirst = milliseconds{20},
                         .retryMost = milliseconds{200}});
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
    RawConnection(newer).exec("PRAGMA user_version=3");
    dir.write("corrupt.sqlite", QByteArray(8192, 'x'));
    RawConnection holder(locked);
    holder.exec("BEGIN EXCLUSIVE");
    const struct {
        QString path;
        OpenResult::State state;
        QString reason;
    } cases[] = {
        {dir.file("fresh.sqlite"), OpenResult::State::Writable, ""},
        {newer, OpenResult::State::ReadOnly, "newer version (3)"},
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
    auto w = ManualWriter(path, 5);
    for (int i = 0; i < 8; ++i)
        w.writer->addReading(reading(i, 0, 60 + i));
    EXPECT_TRUE(readAll(path).empty()) << "nothing is written before the batch is due";
    ASSERT_TRUE(w.writer->flush(milliseconds{5000}));
    const std::vector<Reading> kept = readAll(path);
    ASSERT_EQ(kept.size(), 5u);
    EXPECT_EQ(kept.front().pressure, 63);
    EXPECT_EQ(w.writer->status().dropped, 3u);
    for (int i = 0; i < 7; ++i)
        w.writer->addReading(reading(10 + i, 0, 80 + i));
    w.writer->addEvent({17, EventKind::AlarmRaised, 2, 3}); // written at once
    ASSERT_TRUE(w.writer->flush(milliseconds{5000}));
    ASSERT_EQ(w.reports.size(), 1u) << "the drops are reported once";
    EXPECT_TRUE(w.reports[0].contains("3 queued rows were dropped"));
    EXPECT_EQ(w.writer->status().dropped, 6u);
    w.writer.reset();
    EXPECT_EQ(QFileInfo(path + "-wal").size(), 0) << "the log is emptied at the end";
}

// Readings wait for their batch; an event or 500 readings are written at
// once, and what waits at the end is written then.
TEST(HistoryWriter, AnEventOrAFullBatchIsWrittenAtOnceTheRestByTheEnd) {
    for (const std::size_t readings : {3u, 500u}) {
        const test::WorkDir dir;
        const QString path = dir.file("h.sqlite");
        {
            ManualWriter w(path);
            for (std::size_t i = 0; i < readings; ++i)
                w.writer->addReading(reading(static_cast<TimeMs>(i), 0, 60 + static_cast<int>(i)));
            if (readings < 500)
                w.writer->addEvent({10, EventKind::AlarmRaised, 0, 3});
            EXPECT_TRUE(QTest::qWaitFor([&] { return readAll(path).size() == readings; }, 10'000));
            w.writer->addReading(reading(1000, 1, 70));
        }
        EXPECT_EQ(readAll(path).size(), readings + 1) << "the last one by the end";
    }
}

// Readings go after raw_days, their summaries and the events after days,
// both counted from the newest row when the clock runs ahead of it.
TEST(HistoryWriter, KeepsReadingsRawDaysAndSummariesDaysCountedFromTheNewestRowAtTheLatest) {
    const TimeMs now = 1000 * kMsPerDay; // when the rows were written
    const struct {
        Retention keep;
        TimeMs clockAhead;
        std::size_t readings, summaries;
        int clockBehindSaid;
        bool later = false; // given to a running writer instead of at its start
    } cases[] = {
        {{400, 30}, 0, 3, 4, 0},
        {{100, 30}, 0, 3, 3, 0},
        {{400, 10}, 0, 2, 4, 0},
        {{100, 10}, 0, 2, 3, 0, true},
        // A clock far ahead keeps what is before the newest row, one a day
        // ahead keeps that row's day, and one behind the newest row is said.
        {{400, 30}, 401 * kMsPerDay, 3, 4, 0},
        {{1, 8}, kMsPerDay, 1, 1, 0},
        {{400, 30}, -2 * kHour, 3, 4, 1},
    };
    for (const auto& c : cases) {
        const test::WorkDir dir;
        const QString path = dir.file("h.sqlite");
        {
            ManualWriter w(path, 1000, {}, now);
            int pressure = 60;
            for (TimeMs age :
                 {500 * kMsPerDay, 300 * kMsPerDay, 20 * kMsPerDay, 3 * kMsPerDay, kHour})
                w.writer->addReading(reading(now - age, 0, ++pressure));
            w.writer->addEvent({now - 500 * kMsPerDay, EventKind::ProgramStarted, -1, 0});
        }
        SCOPED_TRACE(testing::Message()
                     << c.keep.days << "/" << c.keep.rawDays << " days, clock " << c.clockAhead);
        ManualWriter w(path, 1000, c.later ? Retention{} : c.keep, now + c.clockAhead);
        if (c.later)
            w.writer->setRetention(c.keep);
        ASSERT_TRUE(w.writer->flush(milliseconds{5000})); // the removal runs just after the open
        EXPECT_EQ(readAll(path).size(), c.readings);
        HistoryStore store;
        store.open(path, OpenMode::ReadOnly);
        std::size_t summaries = 0;
        store.forEachSummary(60'000, 0, now, [&](const Summary&) { ++summaries; });
        EXPECT_EQ(summaries, c.summaries);
        EXPECT_EQ(w.said("is behind the newest stored reading"), c.clockBehindSaid);
        EXPECT_TRUE(store.events(0, now).empty());
    }
}

// A file of the first layout (an index beside the readings, summaries by
// wheel) keeps the readings of the last raw_days and every summary.
TEST(HistoryStore, AFileOfTheFirstLayoutIsBroughtUpToTheNewOneOnce) {
    const test::WorkDir dir;
    const QString path = dir.file("h.sqlite");
    const TimeMs now = 1000 * kMsPerDay;
    {
        RawConnection v1(path);
        for (const char* sql :
             {"CREATE TABLE readings(time INTEGER NOT NULL, wheel INTEGER NOT NULL, pressure "
              "INTEGER NOT NULL, temperature INTEGER NOT NULL, battery INTEGER NOT NULL, sensor "
              "INTEGER NOT NULL, link INTEGER NOT NULL)",
              "CREATE INDEX readings_time ON readings(time)",
              "CREATE TABLE events(time INTEGER NOT NULL, kind INTEGER NOT NULL, wheel INTEGER NOT "
              "NULL, detail INTEGER NOT NULL)",
              "CREATE TABLE summaries(level INTEGER NOT NULL, wheel INTEGER NOT NULL, bucket "
              "INTEGER NOT NULL, first INTEGER NOT NULL, last INTEGER NOT NULL, pmin INTEGER, pmax "
              "INTEGER, tmin INTEGER, tmax INTEGER, PRIMARY KEY(level, wheel, bucket)) WITHOUT "
              "ROWID",
              "INSERT INTO readings VALUES(86400000000 - 3456000000, 0, 61, 65, 0, 1, 0), "
              "(86400000000 - 3600000, 0, 62, 65, 0, 1, 0)",
              "INSERT INTO summaries VALUES(60000, 0, 1382400, 82944000000, 82944000000, 61, 61, "
              "65, "
              "65), (60000, 0, 1439940, 86396400000, 86396400000, 62, 62, 65, 65)",
              "INSERT INTO events VALUES(86400000000 - 3456000000, 6, -1, 0)",
              "PRAGMA user_version=1"})
            ASSERT_TRUE(v1.exec(sql)) << sql;
    }
    for (int open = 0; open < 2; ++open) {
        ManualWriter w(path, 1000, {400, 30}, now);
        EXPECT_EQ(w.said("was brought up to this version; readings older than 30 days"), 1 - open);
    }
    EXPECT_EQ(readAll(path).size(), 1u);
    HistoryStore store;
    ASSERT_TRUE(store.open(path, OpenMode::ReadOnly).usable());
    std::vector<TimeMs> summarised;
    store.forEachSummary(60'000, 0, now, [&](const Summary& s) { summarised.push_back(s.first); });
    EXPECT_EQ(summarised, (std::vector<TimeMs>{now - 40 * kMsPerDay, now - kHour}));
    EXPECT_EQ(store.events(0, now).size(), 1u);
    RawConnection after(path);
    EXPECT_EQ(after.value("PRAGMA user_version"), 2);
    EXPECT_EQ(after.value("PRAGMA integrity_check"), "ok");
}

// Where the readings are no longer kept the chart and the export show the
// minute summaries, and say so.
TEST(HistoryRetention, TheChartAndTheExportCoverTheOldRangeFromTheSummaries) {
    const test::WorkDir dir;
    const QString path = dir.file("h.sqlite");
    constexpr TimeMs start = 499'056 * kHour;
    std::vector<Reading> rows;
    for (TimeMs t = start; t < start + 2 * kHour; t += 10'000)
        rows.push_back(reading(t, 1, static_cast<std::int32_t>(40 + (t / 10'000) % 50)));
    {
        HistoryStore store;
        ASSERT_TRUE(store.open(path, OpenMode::ReadWrite).usable());
        ASSERT_TRUE(store.write(rows, {}, bucketsOf(rows)));
        ASSERT_EQ(store.removeOlderThan(start, start + kHour), 360); // the first hour's readings
    }
    HistoryStore store;
    ASSERT_TRUE(store.open(path, OpenMode::ReadOnly).usable());
    const ChartData data = loadChart(store, start, start + 2 * kHour, 1000); // 7.2 s a column
    EXPECT_EQ(data.summariesBefore, start + kHour);
    EXPECT_TRUE(summaryNote(data).contains("minute summaries are shown"))
        << summaryNote(data).toStdString();
    const std::vector<ChartSegment>& line = data.wheels.at(1).pressure;
    ASSERT_EQ(line.size(), 1u) << "unbroken where summaries meet readings";
    EXPECT_EQ(line[0].points.front().time, start);
    EXPECT_EQ(line[0].points.back().time, rows.back().time);
    const auto [low, high] = std::ranges::minmax(line[0].points, {}, &ChartPoint::value);
    EXPECT_EQ(std::pair(low.value, high.value), std::pair(40.0, 89.0));

    const ExportResult exported = exportCsv(path, dir.file("out.csv"), start, start + 2 * kHour, 0);
    ASSERT_TRUE(exported.ok) << exported.error.toStdString();
    EXPECT_EQ(std::pair(exported.summaries, exported.rows), std::pair(60LL, 360LL));
    EXPECT_TRUE(exported.counts().contains("360 readings and 60 minute summaries"));
    const QList<QByteArray> lines = dir.read("out.csv").split('\n');
    const QByteArray first =
        QDateTime::fromMSecsSinceEpoch(start, Qt::UTC).toString(Qt::ISODateWithMs).toLatin1();
    EXPECT_TRUE(lines[1].startsWith(first + ",1,") && lines[1].contains(",minute_min_max,"))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[61].contains(",reading,")) << lines[61].toStdString();
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
        const bool waited = QTest::qWaitFor(
            [&] { return w.writer->status().state == HistoryWriter::State::Waiting; }, 10'000);
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

// The killed writer's rows are all there and the file is sound; the next
// writer summarises what it had left open (its readings ran ahead of the
// clock, which that writer would say).
TEST(HistoryKill, AKilledWriterLeavesASoundFileWithEveryCommittedBatch) {
    const test::WorkDir dir;
    const QString path = dir.file("history.sqlite");
    QProcess writer;
    writer.start(VORN_KILL_HELPER, {path});
    ASSERT_TRUE(writer.waitForStarted());
    qulonglong committed = 0;
    const auto readCommitted = [&] {
        for (QByteArray line; writer.canReadLine();)
            if ((line = writer.readLine().trimmed()).startsWith("committed "))
                committed = line.mid(10).toULongLong();
    };
    // Heavy writing for a while: tens of thousands of rows in many batches.
    while (committed < 30'000 && writer.waitForReadyRead(5000))
        readCommitted();
    writer.kill(); // SIGKILL, in the middle of a batch more often than not
    ASSERT_TRUE(writer.waitForFinished(5000));
    readCommitted();
    ASSERT_GE(committed, 30'000u);
    EXPECT_EQ(RawConnection(path).value("PRAGMA integrity_check"), "ok");
    EXPECT_GE(RawConnection(path).value("SELECT COUNT(*) FROM readings").toULongLong(), committed);
    HistoryWriter({.path = path, .report = [](const QString&) {}})
        .waitUntilOpen(milliseconds{10'000});
    HistoryStore store;
    ASSERT_TRUE(store.open(path, OpenMode::ReadOnly).usable());
    const auto span = store.readingSpan();
    ASSERT_TRUE(span);
    TimeMs summarisedUntil = 0;
    store.forEachSummary(60'000, span->first, span->second, [&](const Summary& s) {
        summarisedUntil = std::max(summarisedUntil, s.last);
    });
    EXPECT_EQ(summarisedUntil, span->second);
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

// The writer summarises each bucket once it is over, merging batches that
// end inside it, and the last ones at its end.
TEST(Reducer, LongRangesReadTheWritersSummariesAndKeepTheSameExtremes) {
    const test::WorkDir dir;
    const QString path = dir.file("h.sqlite");
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
    {
        std::atomic<TimeMs> clock{from};
        HistoryWriter writer(
            {.path = path, .batchEvery = hours{1}, .clock = [&] { return clock.load(); }});
        writer.waitUntilOpen(milliseconds{5000});
        for (TimeMs t = from; t < to; t += 10'000) {
            clock = t;
            const int p = std::uniform_int_distribution<>(20, 90)(random);
            writer.addReading(reading(t, 1, p));
            widen(extremes, t, p);
            if ((t - from) % 420'000 == 0) { // batches of seven minutes
                ASSERT_TRUE(writer.flush(milliseconds{5000}));
            }
        }
    }
    HistoryStore store;
    ASSERT_TRUE(store.open(path, OpenMode::ReadOnly).usable());
    const ChartData data = loadChart(store, from, to, columns);
    ASSERT_EQ(data.wheels.at(1).pressure.size(), 1u) << "one unbroken line";
    Extremes shown;
    for (const ChartPoint& p : data.wheels.at(1).pressure[0].points)
        widen(shown, p.time, static_cast<int>(p.value));
    EXPECT_EQ(shown, extremes);
    EXPECT_LE(data.wheels.at(1).pressure[0].points.size(), 2u * columns + 2);
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
        std::variant<Reading, Summary> row;
        QByteArray line;
    } lines[] = {
        {0, reading(0, 0, 65),
         "1970-01-01T00:00:00.000Z,0,32.5,32.5,25,0,1,serial,reading,,,,,31.71\r\n"},
        {1, reading(1'796'606'902'173, 3, 65),
         "2026-12-07T01:28:22.173Z,3,32.5,2.24,25,0,1,serial,reading,,,,,31.71\r\n"},
        {2, reading(0, 5, 290, 39),
         "1970-01-01T00:00:00.000Z,5,145.0,1000,-1,0,1,serial,reading,,,,,157.32\r\n"},
        {3, reading(0, 1, 511, 511), "1970-01-01T00:00:00.000Z,1,,,,0,1,serial,reading,,,,,\r\n"},
        {1, Summary{2, 0, 59'000, 60, 65, 64, 70},
         "1970-01-01T00:00:00.000Z,2,30.0,2.07,24,,,,minute_min_max,1970-01-01T00:00:59.000Z,"
         "32.5,2.24,30,\r\n"},
        {0, Summary{2, 0, 1, {}, {}, 64, 64},
         "1970-01-01T00:00:00.000Z,2,,,24,,,,minute_min_max,1970-01-01T00:00:00.001Z,,,24,\r\n"},
    };
    for (const auto& l : lines) {
        const QByteArray line = std::holds_alternative<Reading>(l.row)
                                    ? csvLine(std::get<Reading>(l.row), l.unit)
                                    : csvLine(std::get<Summary>(l.row), 60'000, l.unit);
        EXPECT_EQ(line, l.line) << l.unit;
    }
    EXPECT_EQ(
        csvHeader(3),
        "time_utc,wheel,pressure_psi,pressure_chosen_kg/cm2,temperature_c,battery,sensor_flag,"
        "link,kind,last_time_utc,pressure_psi_max,pressure_chosen_kg/"
        "cm2_max,temperature_c_max,cold_pressure_psi\r\n");
}

} // namespace
} // namespace vorn::history
