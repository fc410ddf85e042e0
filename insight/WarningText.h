#pragma once

#include "insight/TyreInsight.h"

#include <string>

namespace vorn::insight {

// A warning in words for a person, naming the wheel: "Wheel 3: losing 1.1
// psi a day; reaches 26 psi in about 5 days", "Wheel 2: no report for 20
// minutes". `now` dates a silence; the low threshold is in psi.
std::string warningText(int wheel, const WheelState& state, Warning warning, TimeMs now,
                        double lowThresholdPsi);

} // namespace vorn::insight
