#pragma once

#include "protocol/TyreStateTable.h"
#include "sim/Random.h"

namespace vorn::sim {

// What is wrong with a tyre, if anything.
enum class Trouble { None, Leak, Heat };

// One wheel's tyre and sensor: pressure and temperature that wander a little
// around where they started, plus a leak or a heating brake when asked.
// Values are kept in thousandths so that slow changes add up exactly.
class Tyre {
public:
    // Time step of `step`.
    static constexpr int kStepMs = 100;

    Tyre(int wheel, Random& random);

    void setTrouble(Trouble trouble) { trouble_ = trouble; }
    // Moves the readings on by one time step.
    void step(Random& random);

    int wheel() const { return wheel_; }
    int battery() const { return battery_; }
    int halfPsi() const { return (milliPsi_ + 250) / 500; }
    int temperatureRaw() const { return (milliCelsius_ + 500) / 1000 + ZeroCelsius; }

private:
    void drift(Random& random);

    int wheel_;
    int battery_;
    int restMilliPsi_;
    int milliPsi_;
    int warmMilliCelsius_; // where the temperature settles while driving
    int milliCelsius_;
    Trouble trouble_ = Trouble::None;
};

} // namespace vorn::sim
