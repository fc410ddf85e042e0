#pragma once

#include <optional>
#include <span>
#include <vector>

namespace vorn::insight {

struct FitPoint {
    double x = 0;
    double y = 0;
};

// A slope with its two-sided 95 % confidence bounds (lower <= slope <= upper).
struct SlopeFit {
    double slope = 0;
    double lower = 0;
    double upper = 0;
};

// Theil–Sen: the median of the slopes of all pairs of points, so a few
// wild readings cannot tilt it; the bounds are Sen's, from the ranks of the
// pairwise slopes. Keeps its buffer between fits, so fitting allocates only
// when a window grows past every earlier one.
class TheilSen {
public:
    // Nothing for fewer than three points or when all x are equal.
    std::optional<SlopeFit> fit(std::span<const FitPoint> points);

private:
    std::vector<double> slopes_;
};

} // namespace vorn::insight
