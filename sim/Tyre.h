#pragma once

#include "protocol/TyreStateTable.h"
#include "sim/Random.h"

namespace vorn::sim {

// What is wrong with a tyre, if anything.
enum class Trouble {
    None,
    Leak,     // loses air fast from the start
    Heat,     // a dragging brake heats it
    Puncture, // loses 6 psi a minute from 10 s on
    ColdNight // cools by 15 degrees over three minutes from 30 s on, keeping its air
};

// One wheel's tyre and sensor: the air in the tyre (as its pressure at
// 20 °C) and its temperature wander a little around where they started,
// plus the trouble asked for. The pressure shown follows the temperature
// as the gas law has it. Values are kept in thousandths so that slow
// changes add up exactly.
class Tyre {
public:
    // Time step of `step`.
    static constexpr int kStepMs = 100;

    Tyre(int wheel, Random& random);

    void setTrouble(Trouble trouble);
    void setBatteryLow() { battery_ = 1; }
    // Moves the readings on by one time step.
    void step(Random& random);

    int wheel() const { return wheel_; }
    int battery() const { return battery_; }
    int halfPsi() const;
    int temperatureRaw() const { return (milliCelsius() + 500) / 1000 + ZeroCelsius; }

private:
    void drift(Random& random);
    int milliCelsius() const { return milliCelsius_ + coolingMilliCelsius_; }

    int wheel_;
    int battery_;
    int restColdMilliPsi_;
    int coldMilliPsi_;     // the air in the tyre: its pressure at 20 °C
    int warmMilliCelsius_; // where the temperature settles while driving
    int milliCelsius_;
    int coolingMilliCelsius_ = 0; // the night's share of the temperature
    int steps_ = 0;
    Trouble trouble_ = Trouble::None;
};

} // namespace vorn::sim
