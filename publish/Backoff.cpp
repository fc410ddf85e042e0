#include "publish/Backoff.h"

#include <algorithm>

namespace vorn::mqtt {

std::chrono::milliseconds Backoff::next(Clock::time_point at) {
    if (connectedAt_ && at - *connectedAt_ >= timing_.stable)
        delay_ = timing_.first;
    connectedAt_.reset();
    const std::chrono::milliseconds wait = delay_;
    delay_ = std::min(delay_ * 2, timing_.last);
    return wait;
}

} // namespace vorn::mqtt
