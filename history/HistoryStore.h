#pragma once

#include "history/HistoryTypes.h"

#include <QSqlDatabase>
#include <QString>
#include <array>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <vector>

namespace vorn::history {

// The version of the file layout this program writes.
inline constexpr int kSchemaVersion = 1;

// Bucket sizes of the summaries kept beside the readings, so that a chart of
// weeks reads thousands of rows instead of millions.
inline constexpr std::array<TimeMs, 3> kSummaryLevels{60'000, 600'000, 3'600'000};

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

// How an open went: usable for writing, usable only for reading (a file of a
// newer version, one this user may not write, or opened for reading), or
// not at all, with the reason.
struct OpenResult {
    enum class State { Writable, ReadOnly, Failed };
    State state = State::Failed;
    QString reason; // set for ReadOnly from a newer file, and for Failed
    bool usable() const { return state != State::Failed; }
};

// One SQLite file of readings and events. A connection belongs to the
// thread that opened it; each thread opens its own store on the same file.
class HistoryStore {
public:
    HistoryStore();
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // A new file is made readable by its owner only (driving times are
    // private); SQLite gives its -wal and -shm files the same mode.
    OpenResult open(const QString& path, OpenMode mode,
                    std::chrono::milliseconds busyTimeout = kBusyTimeout);
    bool writable() const { return writable_; }

    // Writes everything in one transaction; false (and nothing written) on failure.
    bool write(std::span<const Reading> readings, std::span<const Event> events);
    // Whether the last failure may go away by itself: a lock held by another
    // connection, a full disk or an I/O error. A corrupt file does not.
    bool lastErrorPasses() const;
    // Removes readings and events older than `cutoff`; returns the rows removed.
    int removeOlderThan(TimeMs cutoff);

    // Readings with from <= time <= to in time order, handed one by one.
    bool forEachReading(TimeMs from, TimeMs to, const std::function<void(const Reading&)>& each);
    // The summaries of one level whose buckets meet [from, to], each wheel's in time order.
    bool forEachSummary(TimeMs level, TimeMs from, TimeMs to,
                        const std::function<void(const Summary&)>& each);
    std::vector<Event> events(TimeMs from, TimeMs to);
    // The time of each wheel's latest reading.
    std::map<int, TimeMs> lastReadingTimes();
    // Earliest and latest reading times; nothing when there is no reading.
    std::optional<std::pair<TimeMs, TimeMs>> readingSpan();
    // The newest time of any reading or event; nothing in an empty file.
    std::optional<TimeMs> newestTime();

    QString lastError() const { return lastError_; }

private:
    OpenResult openConnection(const QString& name, OpenMode mode, const QString& options);
    OpenResult openReadOnly(const QString& path, const QString& options);
    OpenResult prepare(OpenMode mode);
    bool exec(const QString& sql);
    void noteError(const QSqlError& error);
    bool writeRows(std::span<const Reading> readings, std::span<const Event> events);
    bool writeSummaries(std::span<const Reading> readings);

    QString name_;
    QSqlDatabase db_;
    bool writable_ = false;
    QString lastError_;
    int lastCode_ = 0; // SQLite's primary result code of the last failure
    QString path_;
};

} // namespace vorn::history
