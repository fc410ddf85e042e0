#include "link/rxusbth.h"

namespace vorn {

rxusbth::rxusbth(ReceiveFunction receive, QObject* parent)
    : QThread(parent), receive_(std::move(receive)) {}

rxusbth::~rxusbth() {
    stop();
}

void rxusbth::pause() {
    {
        std::lock_guard lock(mutex_);
        if (state_ != State::Running)
            return;
        state_ = State::Pausing;
    }
    changed_.notify_all(); // cuts a back-off short
}

bool rxusbth::waitUntilParked(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(
        lock, limit, [this] { return state_ != State::Running && state_ != State::Pausing; });
}

void rxusbth::resume() {
    bool first = false;
    {
        std::lock_guard lock(mutex_);
        switch (state_) {
        case State::NotStarted:
            first = true;
            state_ = State::Running;
            break;
        case State::Pausing:
        case State::Parked:
            state_ = State::Running;
            break;
        case State::Running:
        case State::Stopping:
        case State::Stopped:
            return;
        }
    }
    if (first)
        start();
    else
        changed_.notify_all();
}

void rxusbth::stop() {
    {
        std::lock_guard lock(mutex_);
        if (state_ == State::Stopped)
            return;
        state_ = State::Stopping;
    }
    requestInterruption();
    changed_.notify_all();
    // A read under way ends within its time-out; a loop never started returns at once.
    wait();
    std::lock_guard lock(mutex_);
    state_ = State::Stopped;
}

rxusbth::State rxusbth::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

bool rxusbth::checkpoint() {
    std::unique_lock lock(mutex_);
    if (state_ == State::Pausing) {
        state_ = State::Parked;
        changed_.notify_all();
    }
    changed_.wait(lock, [this] { return state_ != State::Parked; });
    return state_ == State::Running || state_ == State::Pausing;
}

void rxusbth::backOff() {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, kRetryDelay, [this] { return state_ != State::Running; });
}

void rxusbth::run() {
    UsbInReport report{};
    while (checkpoint()) {
        const auto started = std::chrono::steady_clock::now();
        if (receive_(report)) {
            emit reportReceived(QByteArray(reinterpret_cast<const char*>(report.data()),
                                           static_cast<qsizetype>(report.size())));
        } else if (std::chrono::steady_clock::now() - started < kQuickFailure) {
            backOff();
        }
    }
}

} // namespace vorn
