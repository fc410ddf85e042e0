#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorn::sim {

// How a calibration run ends.
enum class CalibrationEnd {
    Success, // "CAL1" and the new frequency
    Error,   // "CAL2", frequency unchanged
    Silence, // the receiver hangs: no more replies, the program's watch runs out
};

// One automatic calibration: the receiver sweeps 20 tuning steps around the
// current frequency, reports each as "TR", reports its best frequency so far
// as "FRX" every fifth step and ends with "CAL1" or "CAL2".
class Calibration {
public:
    static constexpr int kSteps = 20;
    static constexpr int kStepMs = 150;
    // A hanging run stops replying after this many steps and gives up, without
    // a word, after kHangSteps.
    static constexpr int kStepsBeforeHang = 6;
    static constexpr int kHangSteps = 40;

    // `bestOffset` places the best tuning step relative to the current frequency.
    Calibration(std::uint16_t frequency, CalibrationEnd end, int bestOffset);

    // The frame bodies of the next step; call every kStepMs.
    std::vector<std::string> step();
    bool finished() const { return finished_; }
    // The frequency the unit keeps afterwards.
    std::uint16_t frequency() const { return frequency_; }

private:
    std::uint16_t tuningValue(int index) const;

    std::uint16_t start_;
    std::uint16_t frequency_;
    CalibrationEnd end_;
    int bestIndex_;
    int stepsDone_ = 0;
    bool finished_ = false;
};

} // namespace vorn::sim
