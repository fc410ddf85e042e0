#pragma once

#include "history/HistoryTypes.h"
#include "history/Sqlite.h"

#include <QByteArrayView>
#include <QString>
#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <span>
#include <vector>

namespace vorn::history {

// The version of the file layout this program writes. 2: readings stored in
// time order without a separate index, summaries in time order.
inline constexpr int kSchemaVersion = 2;

// Bucket sizes of the summaries kept beside the readings, so that a chart of
// weeks reads thousands of rows instead of millions, and so that what is
// older than the readings kept can still be shown.
inline constexpr std::array<TimeMs, 3> kSummaryLevels{60'000, 600'000, 3'600'000};

// Rounds towards minus infinity, as buckets are counted.
constexpr TimeMs floorDiv(TimeMs a, TimeMs b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// One bucket of one summary level: [bucket * level, (bucket + 1) * level).
struct Bucket {
    TimeMs level = 0;
    TimeMs bucket = 0;
    auto operator<=>(const Bucket&) const = default;
};

// Every bucket, of each level, that `readings` fall into, once each.
std::vector<Bucket> bucketsOf(std::span<const Reading> readings);

// One wheel's readings within one bucket: first and last time, lowest and
// highest pressure and temperature (absent when no reading had a value).
struct Summary {
    int wheel = 0;
    TimeMs first = 0;
    TimeMs last = 0;
    std::optional<std::int32_t> pressureMin, pressureMax, temperatureMin, temperatureMax;
};

enum class OpenMode { ReadWrite, ReadOnly };

// How long a statement waits for a lock another connection holds before it
// fails with "database is locked".
inline constexpr std::chrono::milliseconds kBusyTimeout{5000};

// What a file of the older layout keeps when it is brought up to this one:
// the readings and summaries the retention keeps, counted from `now` (the
// wall clock when 0) or the newest row, whichever is earlier.
struct Upgrade {
    Retention retention;
    TimeMs now = 0;
};

// How an open went: usable for writing, usable only for reading (a file of a
// newer version, one this user may not write, or opened for reading), or
// not at all, with the reason. `note` tells of an upgrade of the layout.
struct OpenResult {
    enum class State { Writable, ReadOnly, Failed };
    State state = State::Failed;
    QString reason; // set for ReadOnly from a newer file, and for Failed
    QString note;
    bool usable() const { return state != State::Failed; }
};

// One SQLite file of readings, their summaries and events. A connection
// belongs to the thread that opened it; each thread opens its own store on
// the same file.
class HistoryStore {
public:
    HistoryStore();
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // A new file is made readable by its owner only (driving times are
    // private); SQLite gives its -wal and -shm files the same mode.
    OpenResult open(const QString& path, OpenMode mode,
                    std::chrono::milliseconds busyTimeout = kBusyTimeout, Upgrade upgrade = {});
    bool writable() const { return writable_; }

    // Writes the rows and makes the summaries of `buckets` from the readings
    // stored, merged into what the file holds for them, in one transaction;
    // false (and nothing written) on failure. A reading that repeats a stored
    // one in every field is kept once.
    bool write(std::span<const Reading> readings, std::span<const Event> events,
               std::span<const Bucket> buckets = {});
    // Whether the last failure may go away by itself: a lock held by another
    // connection, a full disk or an I/O error. A corrupt file does not.
    bool lastErrorPasses() const;
    // Removes readings older than `readingsBefore`, and summaries and events
    // older than `before`; -1 on failure.
    int removeOlderThan(TimeMs before, TimeMs readingsBefore);
    // Copies the write-ahead log into the file and empties it.
    bool checkpoint();
    // The buckets holding readings that may not be summarised yet: those of
    // each level's newest summary on. For a program that ended without
    // writing them.
    std::vector<Bucket> bucketsToSummarise();

    // Readings with from <= time <= to in time order, handed one by one;
    // false, having handed some, once `stop` (when given) is set.
    bool forEachReading(TimeMs from, TimeMs to, const std::function<void(const Reading&)>& each,
                        const std::atomic<bool>* stop = nullptr);
    // The summaries of one level whose buckets meet [from, to], in time
    // order (each wheel's in time order).
    bool forEachSummary(TimeMs level, TimeMs from, TimeMs to,
                        const std::function<void(const Summary&)>& each);
    // Where the readings take over from the summaries of `level`: before it
    // the summaries are read, from it on the readings. Nothing when there
    // are no readings. With `preferReadings`, from the minute of the oldest
    // reading kept; otherwise from the newest summary's bucket, which may
    // still grow.
    std::optional<TimeMs> readingsFrom(TimeMs level, bool preferReadings);
    std::vector<Event> events(TimeMs from, TimeMs to);
    // The time of each wheel's latest reading.
    std::map<int, TimeMs> lastReadingTimes();
    // Earliest and latest time of a reading or a summary; nothing when there is none.
    std::optional<std::pair<TimeMs, TimeMs>> readingSpan();
    // The newest time of any reading, summary or event; nothing in an empty file.
    std::optional<TimeMs> newestTime();

    QString lastError() const { return lastError_; }

private:
    OpenResult openConnection(const QString& name, OpenMode mode, bool uri, const Upgrade& upgrade);
    OpenResult openReadOnly(const QString& path);
    OpenResult prepare(OpenMode mode, const Upgrade& upgrade);
    bool createLayout(int found, const Upgrade& upgrade, QString& note);
    // `sql` with `values` bound in order; empty, with the error noted, when
    // it cannot be prepared.
    Statement statement(QByteArrayView sql, std::initializer_list<std::int64_t> values = {});
    // SQLite's result of the next step, with the error noted unless it is a row or the end.
    int step(sqlite3_stmt* statement);
    bool exec(QByteArrayView sql);
    std::optional<TimeMs> number(QByteArrayView sql,
                                 std::initializer_list<std::int64_t> values = {});
    void noteError(int code);
    bool writeRows(std::span<const Reading> readings, std::span<const Event> events);
    bool writeSummaries(std::span<const Bucket> buckets);
    // The earliest or latest summary of the hour level.
    std::optional<TimeMs> summaryEdge(bool newest);

    Connection db_;
    std::chrono::milliseconds busyTimeout_ = kBusyTimeout;
    bool writable_ = false;
    QString lastError_;
    int lastCode_ = 0; // SQLite's primary result code of the last failure
    QString path_;
};

} // namespace vorn::history
