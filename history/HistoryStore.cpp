#include "history/HistoryStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QVariant>
#include <algorithm>
#include <limits>

namespace vorn::history {

namespace {

constexpr auto kDriver = "QSQLITE";

// SQLite's primary result codes.
constexpr int kSqliteBusy = 5, kSqliteLocked = 6, kSqliteReadOnly = 8, kSqliteIoError = 10,
              kSqliteFull = 13, kSqliteCantOpen = 14;
// Failures that a later attempt may not meet again.
constexpr std::array kPassingCodes{kSqliteBusy, kSqliteLocked, kSqliteIoError, kSqliteFull};

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

std::optional<std::int32_t> optionalInt(const QVariant& value) {
    return value.isNull() ? std::nullopt : std::optional(value.toInt());
}

// SQLite's own words ("database is locked"), without Qt's "Unable to fetch row".
QString describe(const QSqlError& error) {
    return error.databaseText().isEmpty() ? error.text() : error.databaseText();
}

OpenResult failed(QString reason) {
    return {OpenResult::State::Failed, std::move(reason), {}};
}

bool validWheel(qint64 wheel) {
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

HistoryStore::HistoryStore()
    : name_(QStringLiteral("vorn-history-%1").arg(reinterpret_cast<quintptr>(this), 0, 16)) {}

HistoryStore::~HistoryStore() {
    if (db_.isValid())
        db_.close();
    db_ = QSqlDatabase();
    if (QSqlDatabase::contains(name_))
        QSqlDatabase::removeDatabase(name_);
}

OpenResult HistoryStore::open(const QString& path, OpenMode mode,
                              std::chrono::milliseconds busyTimeout, Upgrade upgrade) {
    path_ = path;
    const QFileInfo file(path);
    const QString busy = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeout.count());
    if (mode == OpenMode::ReadOnly && !file.exists())
        return failed(QStringLiteral("there is no history file %1").arg(path));
    if (file.exists() && !file.isReadable())
        return failed(QStringLiteral("%1 cannot be read").arg(path));
    if (mode == OpenMode::ReadOnly)
        return openReadOnly(path, busy);
    if (!QDir().mkpath(file.absolutePath()))
        return failed(QStringLiteral("the folder %1 cannot be made").arg(file.absolutePath()));
    if (file.exists() && (!file.isWritable() || !QFileInfo(file.absolutePath()).isWritable())) {
        // Another user's file, or one in a folder that takes no -wal file:
        // it can still be shown and exported.
        OpenResult result = openReadOnly(path, busy);
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
    return openConnection(path, OpenMode::ReadWrite, busy, upgrade);
}

OpenResult HistoryStore::openReadOnly(const QString& path, const QString& options) {
    const QString readOnly = options + QStringLiteral(";QSQLITE_OPEN_READONLY");
    OpenResult result = openConnection(path, OpenMode::ReadOnly, readOnly, {});
    if (result.usable() || (lastCode_ != kSqliteReadOnly && lastCode_ != kSqliteCantOpen))
        return result;
    // Reading a WAL file takes a -shm file beside it, which a read-only folder
    // cannot hold. No writer can work there either, so the file is read as it
    // lies, without locks.
    db_.close();
    const QString uri =
        QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded) +
        QStringLiteral("?immutable=1");
    return openConnection(uri, OpenMode::ReadOnly, readOnly + QStringLiteral(";QSQLITE_OPEN_URI"),
                          {});
}

OpenResult HistoryStore::openConnection(const QString& name, OpenMode mode, const QString& options,
                                        const Upgrade& upgrade) {
    if (!db_.isValid())
        db_ = QSqlDatabase::addDatabase(QString::fromLatin1(kDriver), name_);
    if (!db_.isValid())
        return failed(QStringLiteral("Qt's SQLite driver is not installed"));
    db_.setDatabaseName(name);
    db_.setConnectOptions(options);
    if (!db_.open()) {
        noteError(db_.lastError());
        return failed(QStringLiteral("%1: %2").arg(path_, lastError_));
    }
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
    const std::optional<TimeMs> found = number(QStringLiteral("PRAGMA user_version"));
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
    if (!exec(QStringLiteral("PRAGMA journal_mode=WAL")) ||
        !exec(QStringLiteral("PRAGMA synchronous=NORMAL")) ||
        !exec(QStringLiteral("PRAGMA wal_autocheckpoint=%1").arg(kCheckpointPages)) ||
        !exec(QStringLiteral("PRAGMA journal_size_limit=%1").arg(kLogLimitBytes)) ||
        !exec(QStringLiteral("BEGIN IMMEDIATE")))
        return failed(lastError_);
    QString note;
    if (!createLayout(static_cast<int>(*found), upgrade, note) ||
        !exec(QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion)) ||
        !exec(QStringLiteral("COMMIT"))) {
        const QString reason = lastError_;
        exec(QStringLiteral("ROLLBACK"));
        return failed(reason);
    }
    // An upgraded file gives back the room of what it no longer keeps.
    const std::optional<TimeMs> free = number(QStringLiteral("PRAGMA freelist_count"));
    const std::optional<TimeMs> pages = number(QStringLiteral("PRAGMA page_count"));
    if (!note.isEmpty() && free && pages && 2 * *free > *pages && !exec(QStringLiteral("VACUUM")))
        note += QStringLiteral(" (its free room stays in the file: %1)").arg(lastError_);
    writable_ = true;
    return {OpenResult::State::Writable, {}, note};
}

// Inside the open's transaction. A file of the first layout keeps the
// readings and summaries its retention keeps, moved into the new tables.
bool HistoryStore::createLayout(int found, const Upgrade& upgrade, QString& note) {
    const bool upgrading = found == 1;
    if (upgrading && (!exec(QStringLiteral("ALTER TABLE readings RENAME TO readings_v1")) ||
                      !exec(QStringLiteral("ALTER TABLE summaries RENAME TO summaries_v1"))))
        return false;
    for (const char* statement : kSchema) {
        if (!exec(QString::fromLatin1(statement)))
            return false;
    }
    if (!upgrading)
        return true;
    const std::optional<TimeMs> newest = number(
        QStringLiteral("SELECT MAX(t) FROM (SELECT MAX(time) AS t FROM readings_v1 UNION ALL "
                       "SELECT MAX(time) FROM events)"));
    const TimeMs from = newest ? std::min<TimeMs>(upgrade.now, *newest) : upgrade.now;
    const Retention& keep = upgrade.retention;
    const TimeMs readingsFrom = from - static_cast<TimeMs>(keep.readingDays()) * kMsPerDay;
    const TimeMs summariesFrom = from - static_cast<TimeMs>(keep.days) * kMsPerDay;
    QSqlQuery copy(db_);
    for (const auto& [sql, since] :
         {std::pair{"INSERT OR IGNORE INTO readings SELECT time, wheel, pressure, temperature, "
                    "battery, sensor, link FROM readings_v1 WHERE time >= ? ORDER BY time",
                    readingsFrom},
          std::pair{"INSERT OR IGNORE INTO summaries SELECT level, wheel, bucket, first, last, "
                    "pmin, pmax, tmin, tmax FROM summaries_v1 WHERE (bucket + 1) * level > ?",
                    summariesFrom}}) {
        copy.prepare(QString::fromLatin1(sql));
        copy.addBindValue(static_cast<qint64>(since));
        if (!copy.exec()) {
            noteError(copy.lastError());
            return false;
        }
    }
    copy.finish();
    if (!exec(QStringLiteral("DROP TABLE readings_v1")) ||
        !exec(QStringLiteral("DROP TABLE summaries_v1")))
        return false;
    note = QStringLiteral("was brought up to this version; readings older than %1 days are now "
                          "kept as minute, 10-minute and hour summaries only")
               .arg(keep.readingDays());
    return true;
}

bool HistoryStore::exec(const QString& sql) {
    QSqlQuery query(db_);
    if (query.exec(sql))
        return true;
    noteError(query.lastError());
    return false;
}

// The first column of the first row; nothing when it is NULL or the query fails.
std::optional<TimeMs> HistoryStore::number(const QString& sql, const QVariantList& values) {
    QSqlQuery query(db_);
    query.setForwardOnly(true);
    query.prepare(sql);
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec()) {
        noteError(query.lastError());
        return std::nullopt;
    }
    if (!query.next() || query.value(0).isNull())
        return std::nullopt;
    return query.value(0).toLongLong();
}

void HistoryStore::noteError(const QSqlError& error) {
    lastError_ = describe(error);
    lastCode_ = error.nativeErrorCode().toInt() & 0xff; // extended codes keep the primary below
}

bool HistoryStore::lastErrorPasses() const {
    return std::ranges::find(kPassingCodes, lastCode_) != kPassingCodes.end();
}

bool HistoryStore::writeSummaries(std::span<const Bucket> buckets) {
    QSqlQuery summarise(db_);
    if (!summarise.prepare(QString::fromLatin1(kSummarise))) {
        noteError(summarise.lastError());
        return false;
    }
    for (const Bucket& b : buckets) {
        summarise.bindValue(0, static_cast<qint64>(b.level));
        summarise.bindValue(1, static_cast<qint64>(b.bucket));
        summarise.bindValue(2, static_cast<qint64>(b.bucket * b.level));
        summarise.bindValue(3, static_cast<qint64>((b.bucket + 1) * b.level));
        if (!summarise.exec()) {
            noteError(summarise.lastError());
            return false;
        }
    }
    return true;
}

bool HistoryStore::writeRows(std::span<const Reading> readings, std::span<const Event> events) {
    QSqlQuery insert(db_);
    if (!insert.prepare(QStringLiteral("INSERT OR IGNORE INTO readings VALUES(?,?,?,?,?,?,?)"))) {
        noteError(insert.lastError());
        return false;
    }
    for (const Reading& r : readings) {
        insert.bindValue(0, static_cast<qint64>(r.time));
        insert.bindValue(1, r.wheel);
        insert.bindValue(2, r.pressure);
        insert.bindValue(3, r.temperature);
        insert.bindValue(4, r.battery);
        insert.bindValue(5, r.sensorFlag ? 1 : 0);
        insert.bindValue(6, static_cast<int>(r.link));
        if (!insert.exec()) {
            noteError(insert.lastError());
            return false;
        }
    }
    QSqlQuery event(db_);
    if (!event.prepare(QStringLiteral("INSERT INTO events VALUES(?,?,?,?)"))) {
        noteError(event.lastError());
        return false;
    }
    for (const Event& e : events) {
        event.bindValue(0, static_cast<qint64>(e.time));
        event.bindValue(1, static_cast<int>(e.kind));
        event.bindValue(2, e.wheel);
        event.bindValue(3, e.detail);
        if (!event.exec()) {
            noteError(event.lastError());
            return false;
        }
    }
    return true;
}

bool HistoryStore::write(std::span<const Reading> readings, std::span<const Event> events,
                         std::span<const Bucket> buckets) {
    lastError_.clear();
    lastCode_ = 0;
    if (!writable_) {
        lastError_ = QStringLiteral("not writable");
        lastCode_ = kSqliteReadOnly;
        return false;
    }
    // IMMEDIATE takes the write lock first, so a lock held elsewhere is met
    // (and waited for) here rather than half-way through the batch.
    if (!exec(QStringLiteral("BEGIN IMMEDIATE")))
        return false;
    if (writeRows(readings, events) && writeSummaries(buckets) && exec(QStringLiteral("COMMIT")))
        return true;
    const QString reason = lastError_;
    const int code = lastCode_;
    exec(QStringLiteral("ROLLBACK")); // SQLite may have rolled back already
    lastError_ = reason;
    lastCode_ = code;
    return false;
}

int HistoryStore::removeOlderThan(TimeMs before, TimeMs readingsBefore) {
    if (!exec(QStringLiteral("BEGIN IMMEDIATE")))
        return -1;
    int removed = 0;
    const auto remove = [&](const char* sql, QVariantList values) {
        QSqlQuery query(db_);
        query.prepare(QString::fromLatin1(sql));
        for (const QVariant& value : values)
            query.addBindValue(value);
        if (!query.exec()) {
            noteError(query.lastError());
            return false;
        }
        removed += query.numRowsAffected();
        return true;
    };
    bool ok = remove("DELETE FROM readings WHERE time < ?", {qint64{readingsBefore}}) &&
              remove("DELETE FROM events WHERE time < ?", {qint64{before}});
    // A bucket goes once all of it is older than `before`.
    for (const TimeMs level : kSummaryLevels)
        ok = ok && remove("DELETE FROM summaries WHERE level = ? AND bucket < ?",
                          {qint64{level}, qint64{floorDiv(before, level)}});
    if (ok && exec(QStringLiteral("COMMIT")))
        return removed;
    const QString reason = lastError_;
    exec(QStringLiteral("ROLLBACK"));
    lastError_ = reason;
    return -1;
}

bool HistoryStore::checkpoint() {
    return exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
}

std::vector<Bucket> HistoryStore::bucketsToSummarise() {
    std::vector<Bucket> buckets;
    const std::optional<TimeMs> oldest = number(QStringLiteral("SELECT MIN(time) FROM readings"));
    if (!oldest)
        return buckets;
    for (const TimeMs level : kSummaryLevels) {
        const std::optional<TimeMs> newest = number(
            QStringLiteral("SELECT MAX(bucket) FROM summaries WHERE level = ?"), {qint64{level}});
        QSqlQuery query(db_);
        query.setForwardOnly(true);
        // Buckets counted towards minus infinity, as floorDiv does.
        query.prepare(QStringLiteral(
            "SELECT DISTINCT CASE WHEN time >= 0 THEN time / ? ELSE (time + 1) / ? - 1 END "
            "FROM readings WHERE time >= ?"));
        query.addBindValue(qint64{level});
        query.addBindValue(qint64{level});
        query.addBindValue(static_cast<qint64>(newest ? *newest * level : *oldest));
        if (!query.exec())
            noteError(query.lastError());
        while (query.next())
            buckets.push_back({level, query.value(0).toLongLong()});
    }
    return buckets;
}

bool HistoryStore::forEachReading(TimeMs from, TimeMs to,
                                  const std::function<void(const Reading&)>& each,
                                  const std::atomic<bool>* stop) {
    QSqlQuery query(db_);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT time, wheel, pressure, temperature, battery, sensor, "
                                 "link FROM readings WHERE time BETWEEN ? AND ? ORDER BY time"));
    query.addBindValue(static_cast<qint64>(from));
    query.addBindValue(static_cast<qint64>(to));
    if (!query.exec()) {
        noteError(query.lastError());
        return false;
    }
    while (query.next()) {
        if (stop && stop->load(std::memory_order_relaxed))
            return false;
        const qint64 wheel = query.value(1).toLongLong();
        if (!validWheel(wheel))
            continue; // a damaged or foreign row
        each(Reading{query.value(0).toLongLong(), static_cast<int>(wheel), query.value(2).toInt(),
                     query.value(3).toInt(), query.value(4).toInt(), query.value(5).toInt() != 0,
                     query.value(6).toInt() == 1 ? ReportLink::Usb : ReportLink::Serial});
    }
    return true;
}

bool HistoryStore::forEachSummary(TimeMs level, TimeMs from, TimeMs to,
                                  const std::function<void(const Summary&)>& each) {
    if (level <= 0)
        return false;
    QSqlQuery query(db_);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT wheel, first, last, pmin, pmax, tmin, tmax FROM summaries "
                                 "WHERE level = ? AND bucket BETWEEN ? AND ? "
                                 "ORDER BY bucket, wheel"));
    query.addBindValue(static_cast<qint64>(level));
    query.addBindValue(static_cast<qint64>(floorDiv(from, level)));
    query.addBindValue(static_cast<qint64>(floorDiv(to, level)));
    if (!query.exec()) {
        noteError(query.lastError());
        return false;
    }
    while (query.next()) {
        const qint64 wheel = query.value(0).toLongLong();
        if (!validWheel(wheel))
            continue;
        each(Summary{static_cast<int>(wheel), query.value(1).toLongLong(),
                     query.value(2).toLongLong(), optionalInt(query.value(3)),
                     optionalInt(query.value(4)), optionalInt(query.value(5)),
                     optionalInt(query.value(6))});
    }
    return true;
}

std::optional<TimeMs> HistoryStore::readingsFrom(TimeMs level, bool preferReadings) {
    const std::optional<TimeMs> oldest = number(QStringLiteral("SELECT MIN(time) FROM readings"));
    if (!oldest || level <= 0)
        return std::nullopt;
    TimeMs bucket = floorDiv(*oldest, level);
    if (!preferReadings) {
        if (const std::optional<TimeMs> newest =
                number(QStringLiteral("SELECT MAX(bucket) FROM summaries WHERE level = ?"),
                       {qint64{level}}))
            bucket = std::max<TimeMs>(bucket, *newest);
    }
    return bucket * level;
}

std::vector<Event> HistoryStore::events(TimeMs from, TimeMs to) {
    std::vector<Event> found;
    QSqlQuery query(db_);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral(
        "SELECT time, kind, wheel, detail FROM events WHERE time BETWEEN ? AND ? ORDER BY time"));
    query.addBindValue(static_cast<qint64>(from));
    query.addBindValue(static_cast<qint64>(to));
    if (!query.exec())
        noteError(query.lastError());
    while (query.next()) {
        const int kind = query.value(1).toInt();
        if (kind < static_cast<int>(EventKind::AlarmRaised) ||
            kind > static_cast<int>(EventKind::WarningEnded))
            continue;
        found.push_back({query.value(0).toLongLong(), static_cast<EventKind>(kind),
                         query.value(2).toInt(), query.value(3).toInt()});
    }
    return found;
}

std::map<int, TimeMs> HistoryStore::lastReadingTimes() {
    std::map<int, TimeMs> last;
    // The hour summaries up to the readings, then the readings: a few hours
    // of rows, however long the file.
    const std::optional<TimeMs> from = readingsFrom(kHourLevel, false);
    const auto take = [&](const QString& sql, qint64 bound) {
        QSqlQuery query(db_);
        query.setForwardOnly(true);
        query.prepare(sql);
        query.addBindValue(bound);
        if (!query.exec())
            noteError(query.lastError());
        while (query.next()) {
            if (!validWheel(query.value(0).toLongLong()))
                continue;
            TimeMs& time =
                last.try_emplace(query.value(0).toInt(), query.value(1).toLongLong()).first->second;
            time = std::max<TimeMs>(time, query.value(1).toLongLong());
        }
    };
    take(QStringLiteral("SELECT wheel, MAX(last) FROM summaries WHERE level = %1 AND bucket < ? "
                        "GROUP BY wheel")
             .arg(kHourLevel),
         from ? floorDiv(*from, kHourLevel) : std::numeric_limits<qint64>::max());
    if (from)
        take(QStringLiteral("SELECT wheel, MAX(time) FROM readings WHERE time >= ? GROUP BY wheel"),
             *from);
    return last;
}

std::optional<TimeMs> HistoryStore::summaryEdge(bool newest) {
    return number(QStringLiteral("SELECT %1(%2) FROM summaries WHERE level = %3 AND bucket = "
                                 "(SELECT %1(bucket) FROM summaries WHERE level = %3)")
                      .arg(newest ? QStringLiteral("MAX") : QStringLiteral("MIN"),
                           newest ? QStringLiteral("last") : QStringLiteral("first"))
                      .arg(kHourLevel));
}

std::optional<std::pair<TimeMs, TimeMs>> HistoryStore::readingSpan() {
    // Each its own statement: SQLite finds a lone MIN or MAX without a scan.
    std::optional<TimeMs> first = number(QStringLiteral("SELECT MIN(time) FROM readings"));
    std::optional<TimeMs> last = number(QStringLiteral("SELECT MAX(time) FROM readings"));
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
         {number(QStringLiteral("SELECT MAX(time) FROM readings")),
          number(QStringLiteral("SELECT MAX(time) FROM events")), summaryEdge(true)}) {
        if (time)
            newest = newest ? std::max(*newest, *time) : *time;
    }
    return newest;
}

} // namespace vorn::history
