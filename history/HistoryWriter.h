#pragma once

#include "history/Decimator.h"
#include "history/HistoryStore.h"

#include <QString>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <mutex>
#include <set>
#include <span>
#include <thread>
#include <vector>

namespace vorn::history {

struct WriterConfig {
    QString path{};
    Retention retention{};
    // Readings wait at most this long, or until batchRows of them wait, so a
    // steady unit costs a few page writes every half minute; events (and
    // flush(), and the end) write everything waiting at once.
    std::chrono::milliseconds batchEvery{30'000};
    std::size_t batchRows = 500;
    // Records waiting for the disk; past this the oldest are dropped.
    std::size_t capacity = 20'000;
    std::function<TimeMs()> clock{}; // wall clock when empty
    // Where the one-line reports go (standard error when empty); called on
    // the writer's thread.
    std::function<void(const QString&)> report{};
    // After every committed batch, with the rows committed so far; writer's thread.
    std::function<void(std::uint64_t)> committed{};
    // A lock held elsewhere is waited for this long at each attempt.
    std::chrono::milliseconds busyTimeout = kBusyTimeout;
    // A batch that met a lock, a full disk or an I/O error is kept and tried
    // again after retryFirst, then after twice as long each time, up to retryMost.
    std::chrono::milliseconds retryFirst{1000};
    std::chrono::milliseconds retryMost{60'000};
};

// The buckets whose summaries are still to be made from the readings stored
// in them. A bucket is summarised once it is over, or at the end, and again
// when a late reading falls into it. The writer's thread only.
class OpenBuckets {
public:
    void add(TimeMs time);
    void add(std::span<const Bucket> buckets) { open_.insert(buckets.begin(), buckets.end()); }
    // Those over by `now`; every one with `all`.
    std::vector<Bucket> due(TimeMs now, bool all) const;
    void done(std::span<const Bucket> buckets);

private:
    std::set<Bucket> open_;
};

// The one writer of a history file. It opens the file, applies retention
// every hour and writes one transaction per batch on a thread of its own;
// the adding side only takes a short lock and never waits for the disk. A
// lock held by another program or a full disk only delays the writing; a
// file that cannot be opened or turns out corrupt ends it.
class HistoryWriter {
public:
    explicit HistoryWriter(WriterConfig config);
    ~HistoryWriter(); // writes what is queued, then stops
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;

    // A reading is queued when the decimation keeps it.
    void addReading(const Reading& reading);
    // Keeps `keep` from now on; what it no longer keeps is removed at once.
    void setRetention(Retention keep);
    void addEvent(const Event& event);

    // Waiting: the last batch met a passing failure and is tried again.
    enum class State { Opening, Writing, Waiting, ReadOnly, Failed };
    struct Status {
        State state = State::Opening;
        QString reason;
        std::uint64_t dropped = 0;
    };
    Status status() const;
    // Waits (bounded) until the file is open or has failed; for tests and tools.
    Status waitUntilOpen(std::chrono::milliseconds timeout) const;
    // Writes what is queued now and waits for it, at most `timeout`.
    bool flush(std::chrono::milliseconds timeout);
    // Each wheel's latest reading time found in the file when it was opened.
    std::map<int, TimeMs> storedLastReadings() const;

    TimeMs now() const;

private:
    enum class BatchResult { Written, Passing, Lasting };

    void run();
    void finish(); // the thread ends: no flush waits for it
    bool openStore(HistoryStore& store);
    BatchResult writeBatch(HistoryStore& store, const std::deque<Record>& batch, bool last);
    void keepForRetry(std::deque<Record> batch);
    void applyRetention(HistoryStore& store);
    void say(const QString& line) const;
    bool accepting() const {
        return state_ == State::Opening || state_ == State::Writing || state_ == State::Waiting;
    }
    void push(Record record);

    WriterConfig config_;
    // Guards everything below; held only to add, to swap the queue out and
    // to read the status, never while the disk is written.
    mutable std::mutex mutex_;
    mutable std::condition_variable wake_;
    mutable std::condition_variable done_;
    std::deque<Record> queue_;
    Decimator decimator_;
    State state_ = State::Opening;
    QString reason_;
    std::uint64_t dropped_ = 0;
    std::uint64_t flushWanted_ = 0;
    std::uint64_t flushDone_ = 0;
    bool urgent_ = false; // an event or a full batch waits
    std::optional<Retention> newRetention_;
    bool stop_ = false;
    std::map<int, TimeMs> storedLast_;
    // The writer's thread only.
    bool clockBehindSaid_ = false;
    OpenBuckets buckets_;
    TimeMs newestReading_ = std::numeric_limits<TimeMs>::min();
    std::thread thread_; // last: starts after everything it uses
};

} // namespace vorn::history
