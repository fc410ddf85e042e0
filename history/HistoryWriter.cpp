#include "history/HistoryWriter.h"

#include <QDateTime>
#include <cstdio>
#include <vector>

namespace vorn::history {

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
    queue_.push_back(std::move(record));
}

void HistoryWriter::addReading(const Reading& reading) {
    const std::lock_guard lock(mutex_);
    if (decimator_.keep(reading))
        push(reading);
}

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
    const OpenResult opened = store.open(config_.path, OpenMode::ReadWrite);
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

void HistoryWriter::applyRetention(HistoryStore& store) {
    const TimeMs cutoff = now() - static_cast<TimeMs>(config_.retentionDays) * kMsPerDay;
    if (store.removeOlderThan(cutoff) < 0)
        say(QStringLiteral("old rows could not be removed: %1").arg(store.lastError()));
}

std::size_t HistoryWriter::writeBatch(HistoryStore& store, std::deque<Record>& batch) {
    std::vector<Reading> readings;
    std::vector<Event> events;
    readings.reserve(batch.size());
    for (const Record& record : batch) {
        if (const auto* r = std::get_if<Reading>(&record))
            readings.push_back(*r);
        else
            events.push_back(std::get<Event>(record));
    }
    batch.clear();
    if (readings.empty() && events.empty())
        return 0;
    if (store.write(readings, events))
        return readings.size() + events.size();
    const std::lock_guard lock(mutex_);
    if (state_ == State::Writing) {
        state_ = State::Failed;
        reason_ = QStringLiteral("%1: writing failed: %2").arg(config_.path, store.lastError());
        queue_.clear();
        say(QStringLiteral("%1; history stops").arg(reason_));
    }
    return 0;
}

void HistoryWriter::run() {
    HistoryStore store;
    if (!openStore(store)) {
        const std::lock_guard lock(mutex_);
        flushDone_ = flushWanted_;
        done_.notify_all();
        return;
    }
    applyRetention(store);
    TimeMs lastRetention = now();
    bool dropsReported = false;
    std::uint64_t committed = 0;
    for (;;) {
        std::deque<Record> batch;
        std::uint64_t ticket = 0;
        bool stopping = false;
        {
            std::unique_lock lock(mutex_);
            wake_.wait_for(lock, config_.batchEvery,
                           [this] { return stop_ || flushWanted_ > flushDone_; });
            batch.swap(queue_);
            ticket = flushWanted_;
            stopping = stop_;
            if (dropped_ > 0 && !dropsReported) {
                dropsReported = true;
                say(QStringLiteral("the disk fell behind; %1 queued rows were dropped")
                        .arg(dropped_));
            }
        }
        const std::size_t written = writeBatch(store, batch);
        committed += written;
        if (now() - lastRetention >= kMsPerDay) {
            applyRetention(store);
            lastRetention = now();
        }
        {
            const std::lock_guard lock(mutex_);
            flushDone_ = ticket;
        }
        done_.notify_all();
        if (written > 0 && config_.committed)
            config_.committed(committed);
        if (stopping)
            return;
    }
}

} // namespace vorn::history
