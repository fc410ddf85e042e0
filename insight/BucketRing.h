#pragma once

#include "insight/ColdPressure.h"
#include "insight/TheilSen.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

namespace vorn::insight {

// Floor division for times, so buckets stay aligned before 1970 too.
constexpr TimeMs bucketOf(TimeMs time, TimeMs width) {
    return time / width - (time % width < 0 ? 1 : 0);
}

// One wheel's cold pressure averaged into buckets `Width` ms wide, the
// newest `Count` of them kept: a bounded window for the fits whose size
// does not grow with the report rate.
template <std::size_t Count, TimeMs Width> class BucketRing {
public:
    struct Bucket {
        TimeMs index = 0;
        TimeMs first = 0;
        TimeMs last = 0;
        double timeSum = 0; // ms after `first`
        double coldSum = 0;
        int readings = 0;
    };

    // What a window of buckets holds: readings, their span, and one point
    // per bucket (x in days from the window's first reading, y in psi).
    struct Window {
        int readings = 0;
        TimeMs first = 0;
        TimeMs last = 0;
        TimeMs span() const { return readings > 0 ? last - first : 0; }
    };

    // Adds a reading; true when it opened a new bucket.
    bool add(TimeMs time, double cold) {
        const TimeMs index = bucketOf(time, Width);
        bool opened = false;
        if (size_ == 0 || index > at(size_ - 1).index) {
            if (size_ == Count) {
                head_ = (head_ + 1) % Count;
                --size_;
            }
            at(size_) = Bucket{index, time, time, 0, 0, 0};
            ++size_;
            opened = true;
        }
        Bucket& b = at(size_ - 1);
        b.last = std::max(b.last, time);
        b.timeSum += static_cast<double>(time - b.first);
        b.coldSum += cold;
        ++b.readings;
        return opened;
    }

    void clear() { size_ = 0; }

    // The buckets that hold readings from `from` on, as fit points.
    Window collect(TimeMs from, std::vector<FitPoint>& points) const {
        points.clear();
        Window window;
        const TimeMs fromIndex = bucketOf(from, Width);
        for (std::size_t i = 0; i < size_; ++i) {
            const Bucket& b = at(i);
            if (b.index < fromIndex)
                continue;
            if (window.readings == 0)
                window.first = b.first;
            window.last = b.last;
            window.readings += b.readings;
            const double meanTime =
                static_cast<double>(b.first - window.first) + b.timeSum / b.readings;
            points.push_back({meanTime / static_cast<double>(kDayMs), b.coldSum / b.readings});
        }
        return window;
    }

private:
    Bucket& at(std::size_t i) { return buckets_[(head_ + i) % Count]; }
    const Bucket& at(std::size_t i) const { return buckets_[(head_ + i) % Count]; }

    std::array<Bucket, Count> buckets_{};
    std::size_t head_ = 0;
    std::size_t size_ = 0;
};

} // namespace vorn::insight
