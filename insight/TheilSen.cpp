#include "insight/TheilSen.h"

#include <algorithm>
#include <cmath>

namespace vorn::insight {

namespace {

// Two-sided 95 %: the normal quantile of 0.975.
constexpr double kZ = 1.959964;

} // namespace

std::optional<SlopeFit> TheilSen::fit(std::span<const FitPoint> points) {
    const std::size_t n = points.size();
    if (n < 3)
        return std::nullopt;
    slopes_.clear();
    for (std::size_t i = 0; i + 1 < n; ++i) {
        for (std::size_t j = i + 1; j < n; ++j) {
            const double dx = points[j].x - points[i].x;
            if (dx != 0)
                slopes_.push_back((points[j].y - points[i].y) / dx);
        }
    }
    const std::size_t pairs = slopes_.size();
    if (pairs == 0)
        return std::nullopt;

    // The median first; the bounds then sit on either side of it, so each
    // selection only searches its own half.
    const auto begin = slopes_.begin();
    const auto mid = begin + static_cast<std::ptrdiff_t>(pairs / 2);
    std::nth_element(begin, mid, slopes_.end());
    double slope = *mid;
    if (pairs % 2 == 0)
        slope = (slope + *std::max_element(begin, mid)) / 2;

    // Sen's bounds: ranks (N -+ C) / 2 of the N sorted slopes, with C from
    // the variance of Kendall's statistic for n points without ties.
    const double dn = static_cast<double>(n);
    const double c = kZ * std::sqrt(dn * (dn - 1) * (2 * dn + 5) / 18);
    const double last = static_cast<double>(pairs - 1);
    const auto rank = [&](double r) {
        return static_cast<std::ptrdiff_t>(std::clamp(std::round(r), 0.0, last));
    };
    const std::ptrdiff_t lowRank = rank((static_cast<double>(pairs) - c) / 2 - 1);
    const std::ptrdiff_t highRank = rank((static_cast<double>(pairs) + c) / 2);
    const auto at = [&](std::ptrdiff_t r) {
        const auto it = begin + r;
        if (r < mid - begin)
            std::nth_element(begin, it, mid);
        else if (r > mid - begin)
            std::nth_element(mid + 1, it, slopes_.end());
        return *it;
    };
    return SlopeFit{slope, std::min(at(lowRank), slope), std::max(at(highRank), slope)};
}

} // namespace vorn::insight
