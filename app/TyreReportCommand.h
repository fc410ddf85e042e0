#pragma once

#include "app/CommandLine.h"

#include <QString>

namespace vorn {

// `vorn --tyre-report`: the tyre analysis of the history file as it stood at
// its newest reading or at --until, as a table or (--json) one JSON object
// on standard output. Returns the exit code: 0, or 1 with one line on
// standard error for a history that cannot be read or a time that does not
// parse. Needs no display and opens no link.
int runTyreReportCommand(const ProgramOptions& options, const QString& workDir);

} // namespace vorn
