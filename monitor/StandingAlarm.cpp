#include "monitor/StandingAlarm.h"

namespace vorn {

void StandingAlarm::raised(int wheel, std::int32_t status) {
    if (wheel >= 0 && wheel < kShownWheels)
        pending_[static_cast<std::size_t>(wheel)] = status;
}

bool StandingAlarm::ended() {
    pending_.fill(std::nullopt);
    const bool wasTold = told_;
    told_ = false;
    return wasTold;
}

std::vector<StandingAlarm::Raise> StandingAlarm::settle(bool alarmOn) {
    std::vector<Raise> tell;
    for (int wheel = 0; wheel < kShownWheels; ++wheel) {
        std::optional<std::int32_t>& status = pending_[static_cast<std::size_t>(wheel)];
        if (alarmOn && status)
            tell.push_back({wheel, *status});
        status.reset();
    }
    told_ = told_ || !tell.empty();
    return tell;
}

} // namespace vorn
