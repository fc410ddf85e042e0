#pragma once

#include "insight/BucketRing.h"

#include <algorithm>
#include <array>
#include <optional>

namespace vorn::insight {

// The lowest and highest cold pressure of the last five minutes, kept in
// ten-second slots so that a wheel reporting many times a second costs the
// same as one reporting twice a minute.
class RecentRange {
public:
    static constexpr TimeMs kSpan = 5 * kMinuteMs;
    static constexpr TimeMs kSlot = 10'000;

    struct Range {
        double low = 0;
        double high = 0;
    };

    // Adds a reading and gives the range of the last five minutes with it.
    Range add(TimeMs time, double cold) {
        const TimeMs index = bucketOf(time, kSlot);
        Slot& slot = slots_[static_cast<std::size_t>(index % kSlots + kSlots) % kSlots];
        if (!slot.index || *slot.index != index)
            slot = Slot{index, cold, cold};
        slot.low = std::min(slot.low, cold);
        slot.high = std::max(slot.high, cold);
        Range range{cold, cold};
        for (const Slot& s : slots_) {
            if (s.index && *s.index <= index && *s.index > index - kSlots) {
                range.low = std::min(range.low, s.low);
                range.high = std::max(range.high, s.high);
            }
        }
        return range;
    }

    void clear() { slots_.fill(Slot{}); }

private:
    static constexpr TimeMs kSlots = kSpan / kSlot + 1;

    struct Slot {
        std::optional<TimeMs> index;
        double low = 0;
        double high = 0;
    };
    std::array<Slot, static_cast<std::size_t>(kSlots)> slots_{};
};

} // namespace vorn::insight
