#include "sim/Calibration.h"

#include "sim/Frames.h"

#include <algorithm>

namespace vorn::sim {
namespace {

constexpr int kSweepHalfWidth = Calibration::kSteps / 2;

} // namespace

Calibration::Calibration(std::uint16_t frequency, CalibrationEnd end, int bestOffset)
    : start_(frequency), frequency_(frequency), end_(end),
      bestIndex_(std::clamp(bestOffset + kSweepHalfWidth, 0, kSteps - 1)) {}

std::uint16_t Calibration::tuningValue(int index) const {
    return static_cast<std::uint16_t>(start_ + index - kSweepHalfWidth);
}

std::vector<std::string> Calibration::step() {
    std::vector<std::string> bodies;
    if (finished_)
        return bodies;
    const int index = stepsDone_++;
    if (end_ == CalibrationEnd::Silence && index >= kStepsBeforeHang) {
        finished_ = stepsDone_ >= kHangSteps;
        return bodies;
    }
    const std::uint16_t value = tuningValue(index);
    bodies.push_back("TR" + hexPair(static_cast<unsigned>(index)) + hexPair(value >> 8u) +
                     hexPair(value));
    const bool last = index == kSteps - 1;
    if (last && end_ == CalibrationEnd::Success)
        frequency_ = tuningValue(bestIndex_);
    if (index % 5 == 4) {
        // The best step so far while sweeping; at the end, what the unit keeps.
        const std::uint16_t shown = last ? frequency_ : tuningValue(std::min(index, bestIndex_));
        bodies.push_back("FRX" + hexQuad(shown));
    }
    if (last) {
        bodies.push_back(end_ == CalibrationEnd::Success ? "CAL1" : "CAL2");
        finished_ = true;
    }
    return bodies;
}

} // namespace vorn::sim
