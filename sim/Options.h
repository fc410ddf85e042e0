#pragma once

#include "sim/UnitModel.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vorn::sim {

// Command line of vorn-unit-sim.
struct Options {
    UnitConfig unit;
    std::string linkName = "COM1";
    std::string folder = ".";
    bool verbose = false;
    bool help = false;
    bool version = false;
};

struct ParsedOptions {
    std::optional<Options> options; // empty when `error` says what is wrong
    std::string error;
};

// `args` without the program name.
ParsedOptions parseOptions(std::span<const std::string_view> args);

std::string usageText();
// "vorn-unit-sim <version>", the version of the build.
std::string versionText();

} // namespace vorn::sim
