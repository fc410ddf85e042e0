#include "sim/Tyre.h"

#include <algorithm>
#include <cmath>

namespace vorn::sim {
namespace {

// A leak of 0.4 psi a second takes a 31 to 32 psi tyre below 26 psi in 12
// to 15 s; it stops at a flat tyre's few psi.
constexpr int kLeakPerStep = 40;
constexpr int kFlatMilliPsi = 5000;
// A puncture loses 6 psi a minute from 10 s on: below 26 psi about a
// minute later.
constexpr int kPunctureFromStep = 100;
constexpr int kPuncturePerStep = 10;
// A cold night: 15 degrees colder, evenly over three minutes from 30 s on.
constexpr int kCoolingFromStep = 300;
constexpr int kCoolingSteps = 1800;
constexpr int kCoolingMilliCelsius = 15000;
// A dragging brake heats the tyre 2 degrees a second up to 95 degrees.
constexpr int kHeatPerStep = 200;
constexpr int kHotLimit = 95000;
// Plain driving warms the tyre by at most 0.05 degrees a second.
constexpr int kWarmPerStep = 5;

constexpr double kAtmospherePsi = 14.7;
constexpr double kKelvinAt20 = 293.15;

} // namespace

// 30.4 to 30.9 psi at 20 °C read 31 to 34 psi at the 25 to 38 degrees of
// a driven tyre.
Tyre::Tyre(int wheel, Random& random)
    : wheel_(wheel), battery_(random.chance(1, 5) ? 1 : 0),
      restColdMilliPsi_(random.between(30400, 30900)), coldMilliPsi_(restColdMilliPsi_),
      warmMilliCelsius_(random.between(33000, 38000)), milliCelsius_(random.between(25000, 29000)) {
}

void Tyre::setTrouble(Trouble trouble) {
    trouble_ = trouble;
    // The night falls on tyres already at their driving temperature, so
    // the cold is all that changes.
    if (trouble == Trouble::ColdNight)
        milliCelsius_ = warmMilliCelsius_;
}

int Tyre::halfPsi() const {
    // Absolute pressure follows absolute temperature while the air stays in.
    const double kelvin = milliCelsius() / 1000.0 + kKelvinAt20 - 20;
    const double gauge =
        (coldMilliPsi_ / 1000.0 + kAtmospherePsi) * kelvin / kKelvinAt20 - kAtmospherePsi;
    return static_cast<int>(std::lround(std::max(0.0, gauge) * 2));
}

void Tyre::step(Random& random) {
    ++steps_;
    drift(random);
    switch (trouble_) {
    case Trouble::Leak:
        coldMilliPsi_ = std::max(kFlatMilliPsi, coldMilliPsi_ - kLeakPerStep);
        break;
    case Trouble::Puncture:
        if (steps_ > kPunctureFromStep)
            coldMilliPsi_ = std::max(kFlatMilliPsi, coldMilliPsi_ - kPuncturePerStep);
        break;
    case Trouble::Heat:
        milliCelsius_ = std::min(kHotLimit, milliCelsius_ + kHeatPerStep);
        break;
    case Trouble::ColdNight:
        coolingMilliCelsius_ = -kCoolingMilliCelsius *
                               std::clamp(steps_ - kCoolingFromStep, 0, kCoolingSteps) /
                               kCoolingSteps;
        break;
    case Trouble::None:
        break;
    }
}

void Tyre::drift(Random& random) {
    // A small random walk held within a quarter psi of the air it started with.
    if (trouble_ != Trouble::Leak &&
        !(trouble_ == Trouble::Puncture && steps_ > kPunctureFromStep)) {
        coldMilliPsi_ += random.between(-20, 20);
        coldMilliPsi_ = std::clamp(coldMilliPsi_, restColdMilliPsi_ - 250, restColdMilliPsi_ + 250);
    }
    if (trouble_ != Trouble::Heat) {
        const int toWarm =
            std::clamp(warmMilliCelsius_ - milliCelsius_, -kWarmPerStep, kWarmPerStep);
        milliCelsius_ += toWarm + random.between(-10, 10);
    }
}

} // namespace vorn::sim
