#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace vorn::sim {

enum class Scenario {
    Steady,            // every wheel fine
    SlowLeak,          // one wheel loses pressure from the start
    HotTyre,           // one wheel heats up from the start
    SensorLost,        // one wheel stops reporting after a few seconds
    NoisyLine,         // stray bytes and damaged checksums between frames
    Flood,             // a burst of more than the line can carry, then normal
    CalibrationError,  // calibration ends with "CAL2"
    CalibrationSilent, // calibration stops replying half way
    MemoryFault,       // test mode answers "TEST1"
    ColdNight,         // every tyre cools by 15 degrees, keeping its air
    Puncture,          // one wheel loses air fast after a while
    DeadSensor,        // one wheel's battery runs low, then it stops reporting
};

struct ScenarioName {
    Scenario scenario;
    std::string_view name;
    std::string_view what;
};

inline constexpr std::array<ScenarioName, 12> kScenarioNames{{
    {Scenario::Steady, "steady", "every wheel near 32 psi and 25 to 40 degrees"},
    {Scenario::SlowLeak, "slow-leak", "one wheel leaks, below 26 psi within 20 s"},
    {Scenario::HotTyre, "hot-tyre", "one wheel heats up, above 70 degrees within 30 s"},
    {Scenario::SensorLost, "sensor-lost", "one wheel stops reporting after 5 s"},
    {Scenario::NoisyLine, "noisy-line", "stray bytes and damaged checksums between frames"},
    {Scenario::Flood, "flood", "from 2 s to 7 s more bytes than the line can carry"},
    {Scenario::CalibrationError, "cal-error", "calibration ends with an error"},
    {Scenario::CalibrationSilent, "cal-silent", "calibration falls silent half way"},
    {Scenario::MemoryFault, "memory-fault", "test mode reports a memory fault"},
    {Scenario::ColdNight, "cold-night", "every tyre 15 degrees colder over 3 minutes from 30 s"},
    {Scenario::Puncture, "puncture", "one wheel loses 6 psi a minute from 10 s"},
    {Scenario::DeadSensor, "dead-sensor", "one wheel's battery is low; it stops reporting at 60 s"},
}};

constexpr std::optional<Scenario> scenarioFromName(std::string_view name) {
    for (const ScenarioName& entry : kScenarioNames) {
        if (entry.name == name)
            return entry.scenario;
    }
    return std::nullopt;
}

constexpr std::string_view scenarioName(Scenario scenario) {
    for (const ScenarioName& entry : kScenarioNames) {
        if (entry.scenario == scenario)
            return entry.name;
    }
    return {};
}

} // namespace vorn::sim
