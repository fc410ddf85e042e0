#include "history/HistoryStore.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <limits>
#include <utility>

namespace vorn::history {

namespace {

// Failures that a later attempt may not meet again.
constexpr std::array kPassingCodes{SQLITE_BUSY, SQLITE_LOCKED, SQLITE_IOERR, SQLITE_FULL};

// Readings are kept in time order by their own key: no separate index,
// and each batch is appended at the end of the table. A reading repeated in
// every field is the same reading.
constexpr const char* kSchema[] = {
    "CREATE TABLE IF NOT EXISTS readings(time INTEGER NOT NULL, wheel INTEGER NOT NULL, "
    "pressure INTEGER NOT NULL, temperature INTEGER NOT NULL, battery INTEGER NOT NULL, "
    "sensor INTEGER NOT NULL, link INTEGER NOT NULL, "
    "PRIMARY KEY(time, wheel, pressure, temperature, battery, sensor, link)) WITHOUT ROWID",
    "CREATE TABLE IF NOT EXISTS events(time INTEGER NOT NULL, kind INTEGER NOT NULL, "
    "wheel INTEGER NOT NULL, detail INTEGER NOT NULL)",
    "CREATE INDEX IF NOT EXISTS events_time ON events(time)",
    "CREATE TABLE IF NOT EXISTS summaries(level INTEGER NOT NULL, wheel INTEGER NOT NULL, "
    "bucket INTEGER NOT NULL, first INTEGER NOT NULL, last INTEGER NOT NULL, pmin INTEGER, "
    "pmax INTEGER, tmin INTEGER, tmax INTEGER, PRIMARY KEY(level, bucket, wheel)) WITHOUT ROWID",
};

// The summaries of one bucket made from the readings stored in it, merged
// into what the file holds for it (NULL means "no value yet"), so that a
// bucket whose readings are partly gone keeps what it had.
constexpr auto kSummarise =
    "INSERT INTO summaries(level, wheel, bucket, first, last, pmin, pmax, tmin, tmax) "
    "SELECT ?, wheel, ?, MIN(time), MAX(time), "
    "MIN(CASE WHEN pressure >= 0 AND pressure < 400 THEN pressure END), "
    "MAX(CASE WHEN pressure >= 0 AND pressure < 400 THEN pressure END), "
    "MIN(CASE WHEN temperature < 199 THEN temperature END), "
    "MAX(CASE WHEN temperature < 199 THEN temperature END) "
    "FROM readings WHERE time >= ? AND time < ? AND wheel BETWEEN 0 AND 15 GROUP BY wheel "
    "ON CONFLICT(level, bucket, wheel) DO UPDATE "
    "SET first = min(first, excluded.first), last = max(last, excluded.last), "
    "pmin = coalesce(min(pmin, excluded.pmin), pmin, excluded.pmin), "
    "pmax = coalesce(max(pmax, excluded.pmax), pmax, excluded.pmax), "
    "tmin = coalesce(min(tmin, excluded.tmin), tmin, excluded.tmin), "
    "tmax = coalesce(max(tmax, excluded.tmax), tmax, excluded.tmax)";

// A checkpoint once the log holds this many pages (1 MB), and a log grown
// past 1 MB by a large transaction is cut back, so the log stays small.
constexpr int kCheckpointPages = 256;
constexpr int kLogLimitBytes = 1 << 20;

// A column read from the file, which may hold anything: SQLite converts
// text and real values, and an integer too wide keeps its low 32 bits.
std::int64_t integer(sqlite3_stmt* row, int column) {
    return sqlite3_column_int64(row, column);
}
int int32(sqlite3_stmt* row, int column) {
    return sqlite3_column_int(row, column);
}
std::optional<std::int32_t> optionalInt(sqlite3_stmt* row, int column) {
    return sqlite3_column_type(row, column) == SQLITE_NULL ? std::nullopt
                                                           : std::optional(int32(row, column));
}

OpenResult failed(QString reason) {
    return {OpenResult::State::Failed, std::move(reason), {}};
}

bool validWheel(std::int64_t wheel) {
    return wheel >= 0 && wheel < 16;
}

constexpr TimeMs kHourLevel = kSummaryLevels.back();

} // namespace

std::vector<Bucket> bucketsOf(std::span<const Reading> readings) {
    std::vector<Bucket> buckets;
    for (const Reading& r : readings)
        for (const TimeMs level : kSummaryLevels)
            buckets.push_back({level, floorDiv(r.time, level)});
    std::ranges::sort(buckets);
    const auto [end, last] = std::ranges::unique(buckets);
    buckets.erase(end, last);
    return buckets;
}

HistoryStore::HistoryStore() = default;
HistoryStore::~HistoryStore() = default;

OpenResult HistoryStore::open(const QString& path, OpenMode mode,
                              std::chrono::milliseconds busyTimeout, Upgrade upgrade) {
    path_ = path;
    busyTimeout_ = busyTimeout;
    const QFileInfo file(path);
    if (mode == OpenMode::ReadOnly && !file.exists())
        return failed(QStringLiteral("there is no history file %1").arg(path));
    if (file.exists() && !file.isReadable())
        return failed(QStringLiteral("%1 cannot be read").arg(path));
    if (mode == OpenMode::ReadOnly)
        return openReadOnly(path);
    if (!QDir().mkpath(file.absolutePath()))
        return failed(QStringLiteral("the folder %1 cannot be made").arg(file.absolutePath()));
    if (file.exists() && (!file.isWritable() || !QFileInfo(file.absolutePath()).isWritable())) {
        // Another user's file, or one in a folder that takes no -wal file:
        // it can still be shown and exported.
        OpenResult result = openReadOnly(path);
        if (result.usable() && result.reason.isEmpty())
            result.reason =
                QStringLiteral("%1 cannot be written here; it is read but not written").arg(path);
        return result;
    }
    if (!file.exists()) {
        QFile made(path);
        if (!made.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                       QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
            !made.exists())
            return failed(QStringLiteral("%1 cannot be made: %2").arg(path, made.errorString()));
    }
    if (upgrade.now == 0)
        upgrade.now = QDateTime::currentMSecsSinceEpoch();
    return openConnection(path, OpenMode::ReadWrite, false, upgrade);
}

OpenResult HistoryStore::openReadOnly(const QString& path) {
    OpenResult result = openConnection(path, OpenMode::ReadOnly, false, {});
    if (result.usable() || (lastCode_ != SQLITE_READONLY && lastCode_ != SQLITE_CANTOPEN))
        return result;
    // Reading a WAL file takes a -shm file beside it, which a read-only folder
    // cannot hold. No writer can work there either, so the file is read as it
    // lies, without locks.
    const QString uri =
        QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded) +
        QStringLiteral("?immutable=1");
    return openConnection(uri, OpenMode::ReadOnly, true, {});
}

OpenResult HistoryStore::openConnection(const QString& name, OpenMode mode, bool uri,
                                        const Upgrade& upgrade) {
    db_.reset();
    writable_ = false;
    // The connection belongs to the thread that opened it, and the store
    // around it is not shared either, so SQLite's own locking of each call
    // would guard nothing: no mutex.
    const int flags = (mode == OpenMode::ReadOnly ? SQLITE_OPEN_READONLY
                                                  : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) |
                      SQLITE_OPEN_PRIVATECACHE | SQLITE_OPEN_NOMUTEX | (uri ? SQLITE_OPEN_URI : 0);
    sqlite3* opened = nullptr;
    const int code = sqlite3_open_v2(name.toUtf8().constData(), &opened, flags, nullptr);
    db_.reset(opened); // a handle comes back even from a failed open, to tell why
    if (code != SQLITE_OK) {
        noteError(code);
        db_.reset();
        return failed(QStringLiteral("%1: %2").arg(path_, lastError_));
    }
    sqlite3_extended_result_codes(opened, 1);
    sqlite3_busy_timeout(opened, static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(
                                     busyTimeout_.count(), 0, std::numeric_limits<int>::max())));
    // The file may come from anywhere: its schema calls no function with side
    // effects, and no statement may write around SQLite's own checks.
    sqlite3_db_config(opened, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(opened, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    OpenResult result = prepare(mode, upgrade);
    if (!result.usable())
        result.reason = QStringLiteral("%1: %2").arg(path_, result.reason);
    else if (!result.reason.isEmpty())
        result.reason = QStringLiteral("%1 %2").arg(path_, result.reason);
    if (!result.note.isEmpty())
        result.note = QStringLiteral("%1 %2").arg(path_, result.note);
    return result;
}

OpenResult HistoryStore::prepare(OpenMode mode, const Upgrade& upgrade) {
    const std::optional<TimeMs> found = number("PRAGMA user_version");
    if (!found)
        return failed(lastError_);
    if (*found > kSchemaVersion)
        return {OpenResult::State::ReadOnly,
                QStringLiteral("is of a newer version (%1) than this program writes (%2); "
                               "it is read but not written")
                    .arg(*found)
                    .arg(kSchemaVersion),
                {}};
    if (mode == OpenMode::ReadOnly)
        return {OpenResult::State::ReadOnly, {}, {}};
    // WAL: readers never wait for the writer, a killed program leaves every
    // committed transaction in the file, and a commit needs no sync.
    if (!exec("PRAGMA journal_mode=WAL") || !exec("PRAGMA synchronous=NORMAL") ||
        !exec("PRAGMA wal_autocheckpoint=" + QByteArray::number(kCheckpointPages)) ||
        !exec("PRAGMA journal_size_limit=" + QByteArray::number(kLogLimitBytes)) ||
        !exec("BEGIN IMMEDIATE"))
        return failed(lastError_);
    QString note;
    if (!createLayout(static_cast<int>(*found), upgrade, note) ||
        !exec("PRAGMA user_version=" + QByteArray::number(kSchemaVersion)) || !exec("COMMIT")) {
        const QString reason = lastError_;
        exec("ROLLBACK");
        return failed(reason);
    }
    // An upgraded file gives back the room of what it no longer keeps.
    const std::optional<TimeMs> free = number("PRAGMA freelist_count");
    const std::optional<TimeMs> pages = number("PRAGMA page_count");
    if (!note.isEmpty() && free && pages && 2 * *free > *pages && !exec("VACUUM"))
        note += QStringLiteral(" (its free room stays in the file: %1)").arg(lastError_);
    writable_ = true;
    return {OpenResult::State::Writable, {}, note};
}

// Inside the open's transaction. A file of the first layout keeps the
// readings and summaries its retention keeps, moved into the new tables.
bool HistoryStore::createLayout(int found, const Upgrade& upgrade, QString& note) {
    const bool upgrading = found == 1;
    if (upgrading && (!exec("ALTER TABLE readings RENAME TO readings_v1") ||
                      !exec("ALTER TABLE summaries RENAME TO summaries_v1")))
        return false;
    for (const char* sql : kSchema) {
        if (!exec(sql))
            return false;
    }
    if (!upgrading)
        return true;
    const std::optional<TimeMs> newest =
        number("SELECT MAX(t) FROM (SELECT MAX(time) AS t FROM readings_v1 UNION ALL "
               "SELECT MAX(time) FROM events)");
    const TimeMs from = newest ? std::min<TimeMs>(upgrade.now, *newest) : upgrade.now;
    const Retention& keep = upgrade.retention;
    const TimeMs readingsFrom = from - static_cast<TimeMs>(keep.readingDays()) * kMsPerDay;
    const TimeMs summariesFrom = from - static_cast<TimeMs>(keep.days) * kMsPerDay;
    for (const auto& [sql, since] :
         {std::pair{"INSERT OR IGNORE INTO readings SELECT time, wheel, pressure, temperature, "
                    "battery, sensor, link FROM readings_v1 WHERE time >= ? ORDER BY time",
                    readingsFrom},
          std::pair{"INSERT OR IGNORE INTO summaries SELECT level, wheel, bucket, first, last, "
                    "pmin, pmax, tmin, tmax FROM summaries_v1 WHERE (bucket + 1) * level > ?",
                    summariesFrom}}) {
        const Statement copy = statement(sql, {since});
        if (!copy || step(copy.get()) != SQLITE_DONE)
            return false;
    }
    if (!exec("DROP TABLE readings_v1") || !exec("DROP TABLE summaries_v1"))
        return false;
    note = QStringLiteral("was brought up to this version; readings older than %1 days are now "
                          "kept as minute, 10-minute and hour summaries only")
               .arg(keep.readingDays());
    return true;
}

Statement HistoryStore::statement(QByteArrayView sql, std::initializer_list<std::int64_t> values) {
    if (!db_) {
        lastError_ = QStringLiteral("the history file is not open");
        lastCode_ = SQLITE_MISUSE;
        return {};
    }
    sqlite3_stmt* prepared = nullptr;
    const int code =
        sqlite3_prepare_v2(db_.get(), sql.data(), static_cast<int>(sql.size()), &prepared, nullptr);
    Statement owned(prepared);
    if (code != SQLITE_OK || !owned) {
        noteError(code == SQLITE_OK ? SQLITE_MISUSE : code); // no statement in `sql`
        return {};
    }
    int index = 0;
    for (const std::int64_t value : values)
        sqlite3_bind_int64(prepared, ++index, value);
    return owned;
}

int HistoryStore::step(sqlite3_stmt* statement) {
    const int code = sqlite3_step(statement);
    if (code != SQLITE_ROW && code != SQLITE_DONE)
        noteError(code);
    return code;
}

// Runs `sql` to its end, past any rows it gives.
bool HistoryStore::exec(QByteArrayView sql) {
    const Statement run = statement(sql);
    if (!run)
        return false;
    int code = SQLITE_ROW;
    while (code == SQLITE_ROW)
        code = step(run.get());
    return code == SQLITE_DONE;
}

// The first column of the first row; nothing when it is NULL or the query fails.
std::optional<TimeMs> HistoryStore::number(QByteArrayView sql,
                                           std::initializer_list<std::int64_t> values) {
    const Statement query = statement(sql, values);
    if (!query || step(query.get()) != SQLITE_ROW ||
        sqlite3_column_type(query.get(), 0) == SQLITE_NULL)
        return std::nullopt;
    return integer(query.get(), 0);
}

void HistoryStore::noteError(int code) {
    // SQLite's own words ("database is locked") for the last failure.
    lastError_ = db_ ? QString::fromUtf8(sqlite3_errmsg(db_.get()))
                     : QString::fromUtf8(sqlite3_errstr(code));
    lastCode_ = code & 0xff; // extended codes keep the primary below
}

bool HistoryStore::lastErrorPasses() const {
    return std::ranges::find(kPassingCodes, lastCode_) != kPassingCodes.end();
}

bool HistoryStore::writeSummaries(std::span<const Bucket> buckets) {
    const Statement summarise = statement(kSummarise);
    if (!summarise)
        return false;
    for (const Bucket& b : buckets) {
        sqlite3_reset(summarise.get());
        for (const auto& [index, value] :
             {std::pair{1, b.level}, std::pair{2, b.bucket}, std::pair{3, b.bucket * b.level},
              std::pair{4, (b.bucket + 1) * b.level}})
            sqlite3_bind_int64(summarise.get(), index, value);
        if (step(summarise.get()) != SQLITE_DONE)
            return false;
    }
    return true;
}

bool HistoryStore::writeRows(std::span<const Reading> readings, std::span<const Event> events) {
    const Statement insert = statement("INSERT OR IGNORE INTO readings VALUES(?,?,?,?,?,?,?)");
    if (!insert)
        return false;
    for (const Reading& r : readings) {
        sqlite3_reset(insert.get());
        int index = 0;
        for (const std::int64_t value :
             {r.time, std::int64_t{r.wheel}, std::int64_t{r.pressure}, std::int64_t{r.temperature},
              std::int64_t{r.battery}, std::int64_t{r.sensorFlag ? 1 : 0},
              std::int64_t{static_cast<int>(r.link)}})
            sqlite3_bind_int64(insert.get(), ++index, value);
        if (step(insert.get()) != SQLITE_DONE)
            return false;
    }
    const Statement event = statement("INSERT INTO events VALUES(?,?,?,?)");
    if (!event)
        return false;
    for (const Event& e : events) {
        sqlite3_reset(event.get());
        int index = 0;
        for (const std::int64_t value : {e.time, std::int64_t{static_cast<int>(e.kind)},
                                         std::int64_t{e.wheel}, std::int64_t{e.detail}})
            sqlite3_bind_int64(event.get(), ++index, value);
        if (step(event.get()) != SQLITE_DONE)
            return false;
    }
    return true;
}

bool HistoryStore::write(std::span<const Reading> readings, std::span<const Event> events,
                         std::span<const Bucket> buckets) {
    lastError_.clear();
    lastCode_ = 0;
    if (!writable_) {
        lastError_ = QStringLiteral("not writable");
        lastCode_ = SQLITE_READONLY;
        return false;
    }
    // IMMEDIATE takes the write lock first, so a lock held elsewhere is met
    // (and waited for) here rather than half-way through the batch.
    if (!exec("BEGIN IMMEDIATE"))
        return false;
    if (writeRows(readings, events) && writeSummaries(buckets) && exec("COMMIT"))
        return true;
    const QString reason = lastError_;
    const int code = lastCode_;
    exec("ROLLBACK"); // SQLite may have rolled back already
    lastError_ = reason;
    lastCode_ = code;
    return false;
}

int HistoryStore::removeOlderThan(TimeMs before, TimeMs readingsBefore) {
    if (!exec("BEGIN IMMEDIATE"))
        return -1;
    int removed = 0;
    const auto remove = [&](const char* sql, std::initializer_list<std::int64_t> values) {
        const Statement query = statement(sql, values);
        if (!query || step(query.get()) != SQLITE_DONE)
            return false;
        removed += sqlite3_changes(db_.get());
        return true;
    };
    bool ok = remove("DELETE FROM readings WHERE time < ?", {readingsBefore}) &&
              remove("DELETE FROM events WHERE time < ?", {before});
    // A bucket goes once all of it is older than `before`.
    for (const TimeMs level : kSummaryLevels)
        ok = ok && remove("DELETE FROM summaries WHERE level = ? AND bucket < ?",
                          {level, floorDiv(before, level)});
    if (ok && exec("COMMIT"))
        return removed;
    const QString reason = lastError_;
    const int code = lastCode_;
    exec("ROLLBACK");
    lastError_ = reason;
    lastCode_ = code;
    return -1;
}

bool HistoryStore::checkpoint() {
    return exec("PRAGMA wal_checkpoint(TRUNCATE)");
}

std::vector<Bucket> HistoryStore::bucketsToSummarise() {
    std::vector<Bucket> buckets;
    const std::optional<TimeMs> oldest = number("SELECT MIN(time) FROM readings");
    if (!oldest)
        return buckets;
    for (const TimeMs level : kSummaryLevels) {
        const std::optional<TimeMs> newest =
            number("SELECT MAX(bucket) FROM summaries WHERE level = ?", {level});
        // Buckets counted towards minus infinity, as floorDiv does.
        const Statement query = statement(
            "SELECT DISTINCT CASE WHEN time >= 0 THEN time / ? ELSE (time + 1) / ? - 1 END "
            "FROM readings WHERE time >= ?",
            {level, level, newest ? *newest * level : *oldest});
        while (query && step(query.get()) == SQLITE_ROW)
            buckets.push_back({level, integer(query.get(), 0)});
    }
    return buckets;
}

bool HistoryStore::forEachReading(TimeMs from, TimeMs to,
                                  const std::function<void(const Reading&)>& each,
                                  const std::atomic<bool>* stop) {
    const Statement query = statement("SELECT time, wheel, pressure, temperature, battery, sensor, "
                                      "link FROM readings WHERE time BETWEEN ? AND ? ORDER BY time",
                                      {from, to});
    if (!query)
        return false;
    sqlite3_stmt* row = query.get();
    int code = SQLITE_ROW;
    while ((code = step(row)) == SQLITE_ROW) {
        if (stop && stop->load(std::memory_order_relaxed))
            return false;
        const std::int64_t wheel = integer(row, 1);
        if (!validWheel(wheel))
            continue; // a damaged or foreign row
        each(Reading{integer(row, 0), static_cast<int>(wheel), int32(row, 2), int32(row, 3),
                     int32(row, 4), int32(row, 5) != 0,
                     int32(row, 6) == 1 ? ReportLink::Usb : ReportLink::Serial});
    }
    return code == SQLITE_DONE;
}

bool HistoryStore::forEachSummary(TimeMs level, TimeMs from, TimeMs to,
                                  const std::function<void(const Summary&)>& each) {
    if (level <= 0)
        return false;
    const Statement query =
        statement("SELECT wheel, first, last, pmin, pmax, tmin, tmax FROM summaries "
                  "WHERE level = ? AND bucket BETWEEN ? AND ? ORDER BY bucket, wheel",
                  {level, floorDiv(from, level), floorDiv(to, level)});
    if (!query)
        return false;
    sqlite3_stmt* row = query.get();
    int code = SQLITE_ROW;
    while ((code = step(row)) == SQLITE_ROW) {
        const std::int64_t wheel = integer(row, 0);
        if (!validWheel(wheel))
            continue;
        each(Summary{static_cast<int>(wheel), integer(row, 1), integer(row, 2), optionalInt(row, 3),
                     optionalInt(row, 4), optionalInt(row, 5), optionalInt(row, 6)});
    }
    return code == SQLITE_DONE;
}

std::optional<TimeMs> HistoryStore::readingsFrom(TimeMs level, bool preferReadings) {
    const std::optional<TimeMs> oldest = number("SELECT MIN(time) FROM readings");
    if (!oldest || level <= 0)
        return std::nullopt;
    TimeMs bucket = floorDiv(*oldest, level);
    if (!preferReadings) {
        if (const std::optional<TimeMs> newest =
                number("SELECT MAX(bucket) FROM summaries WHERE level = ?", {level}))
            bucket = std::max<TimeMs>(bucket, *newest);
    }
    return bucket * level;
}

std::vector<Event> HistoryStore::events(TimeMs from, TimeMs to) {
    std::vector<Event> found;
    const Statement query = statement(
        "SELECT time, kind, wheel, detail FROM events WHERE time BETWEEN ? AND ? ORDER BY time",
        {from, to});
    while (query && step(query.get()) == SQLITE_ROW) {
        sqlite3_stmt* row = query.get();
        const int kind = int32(row, 1);
        if (kind < static_cast<int>(EventKind::AlarmRaised) ||
            kind > static_cast<int>(EventKind::WarningEnded))
            continue;
        found.push_back(
            {integer(row, 0), static_cast<EventKind>(kind), int32(row, 2), int32(row, 3)});
    }
    return found;
}

std::map<int, TimeMs> HistoryStore::lastReadingTimes() {
    std::map<int, TimeMs> last;
    // The hour summaries up to the readings, then the readings: a few hours
    // of rows, however long the file.
    const std::optional<TimeMs> from = readingsFrom(kHourLevel, false);
    const auto take = [&](const QByteArray& sql, std::int64_t bound) {
        const Statement query = statement(sql, {bound});
        while (query && step(query.get()) == SQLITE_ROW) {
            sqlite3_stmt* row = query.get();
            if (!validWheel(integer(row, 0)))
                continue;
            TimeMs& time = last.try_emplace(int32(row, 0), integer(row, 1)).first->second;
            time = std::max<TimeMs>(time, integer(row, 1));
        }
    };
    take("SELECT wheel, MAX(last) FROM summaries WHERE level = " + QByteArray::number(kHourLevel) +
             " AND bucket < ? GROUP BY wheel",
         from ? floorDiv(*from, kHourLevel) : std::numeric_limits<std::int64_t>::max());
    if (from)
        take("SELECT wheel, MAX(time) FROM readings WHERE time >= ? GROUP BY wheel", *from);
    return last;
}

std::optional<TimeMs> HistoryStore::summaryEdge(bool newest) {
    return number(QStringLiteral("SELECT %1(%2) FROM summaries WHERE level = %3 AND bucket = "
                                 "(SELECT %1(bucket) FROM summaries WHERE level = %3)")
                      .arg(newest ? QStringLiteral("MAX") : QStringLiteral("MIN"),
                           newest ? QStringLiteral("last") : QStringLiteral("first"))
                      .arg(kHourLevel)
                      .toUtf8());
}

std::optional<std::pair<TimeMs, TimeMs>> HistoryStore::readingSpan() {
    // Each its own statement: SQLite finds a lone MIN or MAX without a scan.
    std::optional<TimeMs> first = number("SELECT MIN(time) FROM readings");
    std::optional<TimeMs> last = number("SELECT MAX(time) FROM readings");
    for (const auto& [edge, summary] :
         {std::pair{&first, summaryEdge(false)}, std::pair{&last, summaryEdge(true)}}) {
        if (summary)
            *edge = *edge
                        ? (edge == &first ? std::min(**edge, *summary) : std::max(**edge, *summary))
                        : *summary;
    }
    if (!first || !last)
        return std::nullopt;
    return std::pair{*first, *last};
}

std::optional<TimeMs> HistoryStore::newestTime() {
    std::optional<TimeMs> newest;
    for (const std::optional<TimeMs> time :
         {number("SELECT MAX(time) FROM readings"), number("SELECT MAX(time) FROM events"),
          summaryEdge(true)}) {
        if (time)
            newest = newest ? std::max(*newest, *time) : *time;
    }
    return newest;
}

} // namespace vorn::history
