#pragma once

#include "history/HistoryTypes.h"

#include <array>
#include <optional>

namespace vorn::history {

// Keeps a wheel's reading when any value changed or a minute after the
// wheel's last kept row, so a steady unit reporting every 42 ms writes a few
// rows a minute while every change is kept.
class Decimator {
public:
    static constexpr TimeMs kKeepEvery = 60'000;
    static constexpr int kWheels = 16;

    bool keep(const Reading& r) {
        if (r.wheel < 0 || r.wheel >= kWheels)
            return false;
        auto& last = last_[static_cast<std::size_t>(r.wheel)];
        if (last && sameValues(*last, r) && r.time >= last->time &&
            r.time - last->time < kKeepEvery)
            return false;
        last = r;
        return true;
    }

private:
    static bool sameValues(const Reading& a, const Reading& b) {
        return a.pressure == b.pressure && a.temperature == b.temperature &&
               a.battery == b.battery && a.sensorFlag == b.sensorFlag;
    }

    std::array<std::optional<Reading>, kWheels> last_{};
};

} // namespace vorn::history
