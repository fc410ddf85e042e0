#pragma once

#include "app/CommandLine.h"

#include <optional>

namespace vorn {

// What both programs do before any monitor starts: --help, --version and a
// bad command line, the CSV export and the tyre report. Each needs neither a
// display nor a link. Returns the exit code when the command line asked for
// one of them, nothing when the monitor should start.
std::optional<int> runOneShotCommand(const CommandLine& command, int argc, char** argv);

} // namespace vorn
