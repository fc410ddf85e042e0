#include "history/HistoryWriter.h"

#include <QDateTime>
#include <cstdio>
#include <vector>

namespace vorn::history {

namespace {

// Retention runs this often, so each removal is an hour's worth of rows.
constexpr TimeMs kRetentionEvery = 3'600'000;

} // namespace

void OpenBuckets::add(TimeMs time) {
    for (const TimeMs level : kSummaryLevels)
        open_.insert({level, floorDiv(time, level)});
}

std::vector<Bucket> OpenBuckets::due(TimeMs now, bool all) const {
    std::vector<Bucket> due;
    for (const Bucket& b : open_) {
        if (all || (b.bucket + 1) * b.level <= now)
            due.push_back(b);
    }
    return due;
}

void OpenBuckets::done(std::span<const Bucket> buckets) {
    for (const Bucket& b : buckets)
        open_.erase(b);
}

HistoryWriter::HistoryWriter(WriterConfig config)
    : config_(std::move(config)), thread_([this] { run(); }) {}

HistoryWriter::~HistoryWriter() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

TimeMs HistoryWriter::now() const {
    return config_.clock ? config_.clock() : QDateTime::currentMSecsSinceEpoch();
}

void HistoryWriter::say(const QString& line) const {
    if (config_.report)
        config_.report(line);
    else
        std::fprintf(stderr, "vorn: history: %s\n", qUtf8Printable(line));
}

void HistoryWriter::push(Record record) {
    if (!accepting())
        return;
    if (queue_.size() >= config_.capacity) {
        queue_.pop_front(); // the disk fell behind: the oldest go first
        ++dropped_;
    }
    const bool event = std::holds_alternative<Event>(record);
    queue_.push_back(std::move(record));
    if ((event || queue_.size() >= config_.batchRows) && !urgent_) {
        urgent_ = true;
        wake_.notify_all();
    }
}

void HistoryWriter::addReading(const Reading& reading) {
    const std::lock_guard lock(mutex_);
    if (decimator_.keep(reading))
        push(reading);
}

// Events are few and tell what happened: written at once, with the
// readings that led to them.
void HistoryWriter::addEvent(const Event& event) {
    const std::lock_guard lock(mutex_);
    push(event);
}

HistoryWriter::Status HistoryWriter::status() const {
    const std::lock_guard lock(mutex_);
    return {state_, reason_, dropped_};
}

HistoryWriter::Status HistoryWriter::waitUntilOpen(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    done_.wait_for(lock, timeout, [this] { return state_ != State::Opening; });
    return {state_, reason_, dropped_};
}

bool HistoryWriter::flush(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    const std::uint64_t ticket = ++flushWanted_;
    wake_.notify_all();
    return done_.wait_for(lock, timeout, [&] { return flushDone_ >= ticket || !accepting(); }) &&
           accepting();
}

std::map<int, TimeMs> HistoryWriter::storedLastReadings() const {
    const std::lock_guard lock(mutex_);
    return storedLast_;
}

bool HistoryWriter::openStore(HistoryStore& store) {
    const OpenResult opened = store.open(config_.path, OpenMode::ReadWrite, config_.busyTimeout,
                                         {config_.retention, now()});
    if (!opened.note.isEmpty())
        say(opened.note);
    std::map<int, TimeMs> last =
        opened.usable() ? store.lastReadingTimes() : std::map<int, TimeMs>{};
    const State state = opened.state == OpenResult::State::Writable ? State::Writing
                        : opened.usable()                           ? State::ReadOnly
                                                                    : State::Failed;
    if (state == State::Failed)
        say(QStringLiteral("%1; running without history").arg(opened.reason));
    else if (state == State::ReadOnly)
        say(opened.reason);
    {
        const std::lock_guard lock(mutex_);
        state_ = state;
        reason_ = opened.reason;
        storedLast_ = std::move(last);
        if (state != State::Writing)
            queue_.clear();
    }
    done_.notify_all();
    return state == State::Writing;
}

namespace {

QString utcText(TimeMs time) {
    return QDateTime::fromMSecsSinceEpoch(time, Qt::UTC).toString(Qt::ISODate);
}

} // namespace

void HistoryWriter::applyRetention(HistoryStore& store) {
    const TimeMs clock = now();
    const std::optional<TimeMs> newest = store.newestTime();
    if (newest && clock < *newest && !clockBehindSaid_) {
        clockBehindSaid_ = true;
        say(QStringLiteral("the clock (%1) is behind the newest stored reading (%2); "
                           "is the system time right?")
                .arg(utcText(clock), utcText(*newest)));
    }
    // Counted from the newest row when the clock runs ahead of it, so a wrong
    // clock never removes more than the file's own span allows.
    const TimeMs from = newest ? std::min(clock, *newest) : clock;
    const Retention& keep = config_.retention;
    if (store.removeOlderThan(from - static_cast<TimeMs>(keep.days) * kMsPerDay,
                              from - static_cast<TimeMs>(keep.readingDays()) * kMsPerDay) < 0)
        say(QStringLiteral("old rows could not be removed: %1").arg(store.lastError()));
}

// `last`: the end, where every open bucket is summarised as it stands.
HistoryWriter::BatchResult HistoryWriter::writeBatch(HistoryStore& store,
                                                     const std::deque<Record>& batch, bool last) {
    std::vector<Reading> readings;
    std::vector<Event> events;
    readings.reserve(batch.size());
    for (const Record& record : batch) {
        if (const auto* r = std::get_if<Reading>(&record)) {
            readings.push_back(*r);
            buckets_.add(r->time);
            newestReading_ = std::max(newestReading_, r->time);
        } else {
            events.push_back(std::get<Event>(record));
        }
    }
    const std::vector<Bucket> due = buckets_.due(std::max(now(), newestReading_), last);
    if (readings.empty() && events.empty() && due.empty())
        return BatchResult::Written;
    const bool written = store.write(readings, events, due);
    if (written)
        buckets_.done(due);
    const bool passing = !written && store.lastErrorPasses();
    QString line;
    {
        const std::lock_guard lock(mutex_);
        if (written && state_ == State::Waiting) {
            state_ = State::Writing;
            reason_.clear();
            line = QStringLiteral("%1: writing again").arg(config_.path);
        } else if (passing && state_ == State::Writing) {
            state_ = State::Waiting;
            reason_ = QStringLiteral("%1: cannot write for now (%2); the readings are kept and "
                                     "tried again")
                          .arg(config_.path, store.lastError());
            line = reason_;
        } else if (!written && !passing && accepting()) {
            state_ = State::Failed;
            reason_ = QStringLiteral("%1: writing failed: %2").arg(config_.path, store.lastError());
            queue_.clear();
            line = QStringLiteral("%1; history stops").arg(reason_);
        }
    }
    if (!line.isEmpty())
        say(line);
    return written ? BatchResult::Written : passing ? BatchResult::Passing : BatchResult::Lasting;
}

// The batch goes back before what came meanwhile; past the capacity the
// oldest go first, as when the disk falls behind.
void HistoryWriter::keepForRetry(std::deque<Record> batch) {
    const std::lock_guard lock(mutex_);
    if (!accepting())
        return;
    for (Record& record : queue_)
        batch.push_back(std::move(record));
    queue_ = std::move(batch);
    while (queue_.size() > config_.capacity) {
        queue_.pop_front();
        ++dropped_;
    }
}

void HistoryWriter::finish() {
    {
        const std::lock_guard lock(mutex_);
        flushDone_ = flushWanted_;
    }
    done_.notify_all();
}

void HistoryWriter::setRetention(Retention keep) {
    {
        const std::lock_guard lock(mutex_);
        newRetention_ = keep;
        urgent_ = true;
    }
    wake_.notify_all();
}

void HistoryWriter::run() {
    HistoryStore store;
    if (!openStore(store))
        return finish();
    // What an earlier run left unsummarised is summarised before any of its
    // readings may be removed.
    buckets_.add(store.bucketsToSummarise());
    if (writeBatch(store, {}, false) == BatchResult::Lasting)
        return finish();
    applyRetention(store);
    TimeMs lastRetention = now();
    bool dropsReported = false;
    std::uint64_t committed = 0;
    std::chrono::milliseconds retryIn{0}; // above zero while a batch waits to be tried again
    std::optional<Retention> retention;   // asked for; applied after the next written batch
    for (;;) {
        std::deque<Record> batch;
        std::uint64_t ticket = 0;
        bool stopping = false;
        QString drops;
        {
            std::unique_lock lock(mutex_);
            if (retryIn.count() > 0)
                wake_.wait_for(lock, retryIn, [this] { return stop_; });
            else
                wake_.wait_for(lock, config_.batchEvery,
                               [this] { return stop_ || urgent_ || flushWanted_ > flushDone_; });
            batch.swap(queue_);
            urgent_ = false;
            ticket = flushWanted_;
            stopping = stop_;
            if (newRetention_)
                retention = std::exchange(newRetention_, std::nullopt);
            if (dropped_ > 0 && !dropsReported) {
                dropsReported = true;
                drops = QStringLiteral("the disk fell behind; %1 queued rows were dropped")
                            .arg(dropped_);
            }
        }
        if (!drops.isEmpty())
            say(drops);
        const BatchResult result = writeBatch(store, batch, stopping);
        if (result == BatchResult::Passing) {
            if (stopping) {
                say(QStringLiteral("%1 rows could not be written before the end")
                        .arg(batch.size()));
                return;
            }
            keepForRetry(std::move(batch));
            retryIn = retryIn.count() == 0 ? config_.retryFirst
                                           : std::min(2 * retryIn, config_.retryMost);
            continue;
        }
        if (result == BatchResult::Lasting)
            return finish();
        retryIn = std::chrono::milliseconds{0};
        committed += batch.size();
        const bool newRetention = retention.has_value();
        if (newRetention)
            config_.retention = *std::exchange(retention, std::nullopt);
        if (newRetention || now() - lastRetention >= kRetentionEvery || now() < lastRetention) {
            applyRetention(store);
            lastRetention = now();
        }
        if (stopping)
            store.checkpoint(); // nothing left in the log for the next start
        {
            const std::lock_guard lock(mutex_);
            flushDone_ = ticket;
        }
        done_.notify_all();
        if (!batch.empty() && config_.committed)
            config_.committed(committed);
        if (stopping)
            return;
    }
}

} // namespace vorn::history
