#pragma once

#include "protocol/TyreStateTable.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace vorn {

// What the outputs beside the screen (notifications, publishing, history)
// hear of the alarm: the alarm as it stands after each refresh. A raise
// waits for the end of its refresh and is dropped when that refresh takes
// the alarm back, as a hidden wheel's raise in the four-wheel view is.
class StandingAlarm {
public:
    struct Raise {
        int wheel;
        std::int32_t status;
    };

    // A raise by the refresh under way; a wheel raised twice keeps its last word.
    void raised(int wheel, std::int32_t status);
    // The alarm ended; true when the outputs were told of it and so must
    // hear of its end. Raises of the refresh under way are dropped.
    bool ended();
    // At the end of each refresh: the raises to tell, in wheel order, when
    // the alarm stands (`alarmOn`); none otherwise.
    std::vector<Raise> settle(bool alarmOn);

private:
    std::array<std::optional<std::int32_t>, kShownWheels> pending_{};
    bool told_ = false;
};

} // namespace vorn
