#include "sim/Tyre.h"

#include <algorithm>

namespace vorn::sim {
namespace {

// A leak of 0.4 psi a second takes a 32 to 33 psi tyre below 26 psi in 15
// to 18 s; it stops at a flat tyre's few psi.
constexpr int kLeakPerStep = 40;
constexpr int kFlatMilliPsi = 5000;
// A dragging brake heats the tyre 2 degrees a second up to 95 degrees.
constexpr int kHeatPerStep = 200;
constexpr int kHotLimit = 95000;
// Plain driving warms the tyre by at most 0.05 degrees a second.
constexpr int kWarmPerStep = 5;

} // namespace

Tyre::Tyre(int wheel, Random& random)
    : wheel_(wheel), battery_(random.chance(1, 5) ? 1 : 0),
      restMilliPsi_(random.between(32000, 33000)), milliPsi_(restMilliPsi_),
      warmMilliCelsius_(random.between(33000, 38000)), milliCelsius_(random.between(25000, 29000)) {
}

void Tyre::step(Random& random) {
    drift(random);
    switch (trouble_) {
    case Trouble::Leak:
        milliPsi_ = std::max(kFlatMilliPsi, milliPsi_ - kLeakPerStep);
        break;
    case Trouble::Heat:
        milliCelsius_ = std::min(kHotLimit, milliCelsius_ + kHeatPerStep);
        break;
    case Trouble::None:
        break;
    }
}

void Tyre::drift(Random& random) {
    // A small random walk held within a quarter psi of the resting pressure.
    if (trouble_ != Trouble::Leak) {
        milliPsi_ += random.between(-20, 20);
        milliPsi_ = std::clamp(milliPsi_, restMilliPsi_ - 250, restMilliPsi_ + 250);
    }
    if (trouble_ != Trouble::Heat) {
        const int toWarm =
            std::clamp(warmMilliCelsius_ - milliCelsius_, -kWarmPerStep, kWarmPerStep);
        milliCelsius_ += toWarm + random.between(-10, 10);
    }
}

} // namespace vorn::sim
