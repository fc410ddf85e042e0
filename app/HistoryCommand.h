#pragma once

#include "app/CommandLine.h"
#include "history/HistoryTypes.h"

#include <QString>
#include <optional>

namespace vorn {

// history.sqlite in the user's data folder (~/.local/share/VORN on Linux).
QString defaultHistoryPath();
// The history file: the command line's, else the one vorn.conf's [history]
// file names, else the default.
QString historyFileFor(const ProgramOptions& options);
// The history file to keep; empty when the command line or vorn.conf's
// [history] enabled turns history off (--history turns it on).
QString historyPathFor(const ProgramOptions& options);
// How long the history keeps what: the command line over the [history]
// section of vorn.conf over the defaults. A value in the file that cannot
// be used is said on standard error.
history::Retention historyRetentionFor(const ProgramOptions& options);

// A time as --since and --until take it: YYYY-MM-DD, or YYYY-MM-DDTHH:MM[:SS]
// (a space for the T is fine), in local time unless it ends in Z or +HH:MM.
// A date alone is the start of that day, or its end (its last millisecond)
// for an upper bound, so a day given as both bounds is the whole day.
enum class TimeBound { Start, End };
std::optional<history::TimeMs> parseTimeArgument(const QString& text,
                                                 TimeBound bound = TimeBound::Start);
inline constexpr auto kTimeForms =
    "YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS], with Z or +HH:MM for a time that is not local, "
    "for example 2026-12-07T14:30:00Z";

// `vorn --export-csv FILE`: writes the readings (to standard output for
// "-") and returns the exit code (0, or 1 with one line on standard error).
// Needs no display.
int runCsvExportCommand(const ProgramOptions& options, const QString& workDir);

} // namespace vorn
