#pragma once

#include <chrono>
#include <optional>

namespace vorn::mqtt {

// How lost connections are retried. The wait doubles from `first` up to
// `last`; it starts again from `first` only once a connection has lasted
// `stable`, so a broker that accepts and then drops us at once (another
// client with our id, a full broker) is not hammered.
struct RetryTiming {
    std::chrono::milliseconds first{1000};
    std::chrono::milliseconds last{60000};
    std::chrono::milliseconds stable{60000};
};

class Backoff {
public:
    using Clock = std::chrono::steady_clock;

    explicit Backoff(RetryTiming timing = {}) : timing_(timing), delay_(timing.first) {}

    // The broker accepted us at `at`.
    void connected(Clock::time_point at) { connectedAt_ = at; }
    // The wait before the next try, after a try failed or a connection ended at `at`.
    std::chrono::milliseconds next(Clock::time_point at);

private:
    RetryTiming timing_;
    std::chrono::milliseconds delay_;
    std::optional<Clock::time_point> connectedAt_;
};

} // namespace vorn::mqtt
