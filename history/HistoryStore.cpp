#include "history/HistoryStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QVariant>
#include <algorithm>
#include <tuple>

namespace vorn::history {

namespace {

constexpr auto kDriver = "QSQLITE";

// SQLite's primary result codes.
constexpr int kSqliteBusy = 5, kSqliteLocked = 6, kSqliteReadOnly = 8, kSqliteIoError = 10,
              kSqliteFull = 13, kSqliteCantOpen = 14;
// Failures that a later attempt may not meet again.
constexpr std::array kPassingCodes{kSqliteBusy, kSqliteLocked, kSqliteIoError, kSqliteFull};

constexpr const char* kSchema[] = {
    "CREATE TABLE IF NOT EXISTS readings(time INTEGER NOT NULL, wheel INTEGER NOT NULL, "
    "pressure INTEGER NOT NULL, temperature INTEGER NOT NULL, battery INTEGER NOT NULL, "
    "sensor INTEGER NOT NULL, link INTEGER NOT NULL)",
    "CREATE INDEX IF NOT EXISTS readings_time ON readings(time)",
    "CREATE TABLE IF NOT EXISTS events(time INTEGER NOT NULL, kind INTEGER NOT NULL, "
    "wheel INTEGER NOT NULL, detail INTEGER NOT NULL)",
    "CREATE INDEX IF NOT EXISTS events_time ON events(time)",
    "CREATE TABLE IF NOT EXISTS summaries(level INTEGER NOT NULL, wheel INTEGER NOT NULL, "
    "bucket INTEGER NOT NULL, first INTEGER NOT NULL, last INTEGER NOT NULL, pmin INTEGER, "
    "pmax INTEGER, tmin INTEGER, tmax INTEGER, PRIMARY KEY(level, wheel, bucket)) WITHOUT ROWID",
};

// Merges a batch's summary into the stored one; NULL means "no value yet".
constexpr auto kUpsertSummary =
    "INSERT INTO summaries VALUES(?,?,?,?,?,?,?,?,?) ON CONFLICT(level, wheel, bucket) DO UPDATE "
    "SET first = min(first, excluded.first), last = max(last, excluded.last), "
    "pmin = coalesce(min(pmin, excluded.pmin), pmin, excluded.pmin), "
    "pmax = coalesce(max(pmax, excluded.pmax), pmax, excluded.pmax), "
    "tmin = coalesce(min(tmin, excluded.tmin), tmin, excluded.tmin), "
    "tmax = coalesce(max(tmax, excluded.tmax), tmax, excluded.tmax)";

// The display shows dashes from these raw values on: no value to chart.
constexpr std::int32_t kNoPressure = 400;
constexpr std::int32_t kNoTemperature = 199;

void widen(std::optional<std::int32_t>& low, std::optional<std::int32_t>& high,
           std::int32_t value) {
    low = low ? std::min(*low, value) : value;
    high = high ? std::max(*high, value) : value;
}

QVariant orNull(const std::optional<std::int32_t>& value) {
    return value ? QVariant(*value) : QVariant(QMetaType(QMetaType::Int));
}

std::optional<std::int32_t> optionalInt(const QVariant& value) {
    return value.isNull() ? std::nullopt : std::optional(value.toInt());
}

// SQLite's own words ("database is locked"), without Qt's "Unable to fetch row".
QString describe(const QSqlError& error) {
    return error.databaseText().isEmpty() ? error.text() : error.databaseText();
}

OpenResult failed(QString reason) {
    return {OpenResult::State::Failed, std::move(reason)};
}

bool validWheel(qint64 wheel) {
    return wheel >= 0 && wheel < 16;
}

} // namespace

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
                              std::chrono::milliseconds busyTimeout) {
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
    return openConnection(path, OpenMode::ReadWrite, busy);
}

OpenResult HistoryStore::openReadOnly(const QString& path, const QString& options) {
    const QString readOnly = options + QStringLiteral(";QSQLITE_OPEN_READONLY");
    OpenResult result = openConnection(path, OpenMode::ReadOnly, readOnly);
    if (result.usable() || (lastCode_ != kSqliteReadOnly && lastCode_ != kSqliteCantOpen))
        return result;
    // Reading a WAL file takes a -shm file beside it, which a read-only folder
    // cannot hold. No writer can work there either, so the file is read as it
    // lies, without locks.
    db_.close();
    const QString uri =
        QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded) +
        QStringLiteral("?immutable=1");
    return openConnection(uri, OpenMode::ReadOnly, readOnly + QStringLiteral(";QSQLITE_OPEN_URI"));
}

OpenResult HistoryStore::openConnection(const QString& name, OpenMode mode,
                                        const QString& options) {
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
    OpenResult result = prepare(mode);
    if (!result.usable())
        result.reason = QStringLiteral("%1: %2").arg(path_, result.reason);
    else if (!result.reason.isEmpty())
        result.reason = QStringLiteral("%1 %2").arg(path_, result.reason);
    return result;
}

OpenResult HistoryStore::prepare(OpenMode mode) {
    QSqlQuery version(db_);
    if (!version.exec(QStringLiteral("PRAGMA user_version")) || !version.next()) {
        noteError(version.lastError());
        return failed(lastError_);
    }
    const int found = version.value(0).toInt();
    version.finish();
    if (found > kSchemaVersion)
        return {OpenResult::State::ReadOnly,
                QStringLiteral("is of a newer version (%1) than this program writes (%2); "
                               "it is read but not written")
                    .arg(found)
                    .arg(kSchemaVersion)};
    if (mode == OpenMode::ReadOnly)
        return {OpenResult::State::ReadOnly, {}};
    // WAL: readers never wait for the writer, and a killed program leaves
    // every committed transaction in the file.
    if (!exec(QStringLiteral("PRAGMA journal_mode=WAL")) ||
        !exec(QStringLiteral("PRAGMA synchronous=NORMAL")) ||
        !exec(QStringLiteral("BEGIN IMMEDIATE")))
        return failed(lastError_);
    for (const char* statement : kSchema) {
        if (!exec(QString::fromLatin1(statement))) {
            const QString reason = lastError_;
            exec(QStringLiteral("ROLLBACK"));
            return failed(reason);
        }
    }
    if (!exec(QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion)) ||
        !exec(QStringLiteral("COMMIT"))) {
        const QString reason = lastError_;
        exec(QStringLiteral("ROLLBACK"));
        return failed(reason);
    }
    writable_ = true;
    return {OpenResult::State::Writable, {}};
}

bool HistoryStore::exec(const QString& sql) {
    QSqlQuery query(db_);
    if (query.exec(sql))
        return true;
    noteError(query.lastError());
    return false;
}

void HistoryStore::noteError(const QSqlError& error) {
    lastError_ = describe(error);
    lastCode_ = error.nativeErrorCode().toInt() & 0xff; // extended codes keep the primary below
}

bool HistoryStore::lastErrorPasses() const {
    return std::ranges::find(kPassingCodes, lastCode_) != kPassingCodes.end();
}

bool HistoryStore::writeSummaries(std::span<const Reading> readings) {
    std::map<std::tuple<TimeMs, int, TimeMs>, Summary> merged;
    for (const Reading& r : readings) {
        for (const TimeMs level : kSummaryLevels) {
            auto [it, fresh] = merged.try_emplace({level, r.wheel, r.time / level});
            Summary& sum = it->second;
            sum.wheel = r.wheel;
            sum.first = fresh ? r.time : std::min(sum.first, r.time);
            sum.last = fresh ? r.time : std::max(sum.last, r.time);
            if (r.pressure >= 0 && r.pressure < kNoPressure)
                widen(sum.pressureMin, sum.pressureMax, r.pressure);
            if (r.temperature < kNoTemperature)
                widen(sum.temperatureMin, sum.temperatureMax, r.temperature);
        }
    }
    QSqlQuery upsert(db_);
    if (!upsert.prepare(QString::fromLatin1(kUpsertSummary))) {
        noteError(upsert.lastError());
        return false;
    }
    for (const auto& [key, sum] : merged) {
        const QVariantList values{static_cast<qint64>(std::get<0>(key)),
                                  sum.wheel,
                                  static_cast<qint64>(std::get<2>(key)),
                                  static_cast<qint64>(sum.first),
                                  static_cast<qint64>(sum.last),
                                  orNull(sum.pressureMin),
                                  orNull(sum.pressureMax),
                                  orNull(sum.temperatureMin),
                                  orNull(sum.temperatureMax)};
        for (int i = 0; i < values.size(); ++i)
            upsert.bindValue(i, values[i]);
        if (!upsert.exec()) {
            noteError(upsert.lastError());
            return false;
        }
    }
    return true;
}

bool HistoryStore::writeRows(std::span<const Reading> readings, std::span<const Event> events) {
    QSqlQuery insert(db_);
    if (!insert.prepare(QStringLiteral("INSERT INTO readings VALUES(?,?,?,?,?,?,?)"))) {
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

bool HistoryStore::write(std::span<const Reading> readings, std::span<const Event> events) {
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
    if (writeRows(readings, events) && writeSummaries(readings) && exec(QStringLiteral("COMMIT")))
        return true;
    const QString reason = lastError_;
    const int code = lastCode_;
    exec(QStringLiteral("ROLLBACK")); // SQLite may have rolled back already
    lastError_ = reason;
    lastCode_ = code;
    return false;
}

int HistoryStore::removeOlderThan(TimeMs cutoff) {
    int removed = 0;
    QSqlQuery summaries(db_);
    summaries.prepare(QStringLiteral("DELETE FROM summaries WHERE (bucket + 1) * level <= ?"));
    summaries.addBindValue(static_cast<qint64>(cutoff));
    if (!summaries.exec()) {
        noteError(summaries.lastError());
        return -1;
    }
    for (const auto* table : {"readings", "events"}) {
        QSqlQuery query(db_);
        query.prepare(QStringLiteral("DELETE FROM %1 WHERE time < ?").arg(QLatin1String(table)));
        query.addBindValue(static_cast<qint64>(cutoff));
        if (!query.exec()) {
            noteError(query.lastError());
            return -1;
        }
        removed += query.numRowsAffected();
    }
    return removed;
}

bool HistoryStore::forEachReading(TimeMs from, TimeMs to,
                                  const std::function<void(const Reading&)>& each) {
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
    QSqlQuery query(db_);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT wheel, first, last, pmin, pmax, tmin, tmax FROM summaries "
                                 "WHERE level = ? AND wheel = ? AND bucket BETWEEN ? AND ? "
                                 "ORDER BY bucket"));
    for (int wheel = 0; wheel < 16; ++wheel) {
        query.addBindValue(static_cast<qint64>(level));
        query.addBindValue(wheel);
        query.addBindValue(static_cast<qint64>(std::max<TimeMs>(0, from) / level));
        query.addBindValue(static_cast<qint64>(to / level));
        if (!query.exec()) {
            noteError(query.lastError());
            return false;
        }
        while (query.next())
            each(Summary{wheel, query.value(1).toLongLong(), query.value(2).toLongLong(),
                         optionalInt(query.value(3)), optionalInt(query.value(4)),
                         optionalInt(query.value(5)), optionalInt(query.value(6))});
    }
    return true;
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
    QSqlQuery query(db_);
    // The finest summaries hold every wheel's last time, one row a minute.
    if (!query.exec(QStringLiteral("SELECT wheel, MAX(last) FROM summaries WHERE level = %1 "
                                   "GROUP BY wheel")
                        .arg(kSummaryLevels[0])))
        noteError(query.lastError());
    while (query.next()) {
        if (validWheel(query.value(0).toLongLong()))
            last[query.value(0).toInt()] = query.value(1).toLongLong();
    }
    return last;
}

std::optional<std::pair<TimeMs, TimeMs>> HistoryStore::readingSpan() {
    QSqlQuery query(db_);
    if (!query.exec(QStringLiteral("SELECT MIN(time), MAX(time) FROM readings")) || !query.next() ||
        query.value(0).isNull())
        return std::nullopt;
    return std::pair{query.value(0).toLongLong(), query.value(1).toLongLong()};
}

std::optional<TimeMs> HistoryStore::newestTime() {
    QSqlQuery query(db_);
    if (!query.exec(QStringLiteral("SELECT MAX(t) FROM (SELECT MAX(time) AS t FROM readings "
                                   "UNION ALL SELECT MAX(time) FROM events)")) ||
        !query.next() || query.value(0).isNull())
        return std::nullopt;
    return query.value(0).toLongLong();
}

} // namespace vorn::history
