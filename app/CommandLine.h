#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

namespace vorn {

// What the command line asks of the program beside its ordinary start.
struct ProgramOptions {
    bool userFolder = false;     // work in the per-user data folder, made when missing
    bool notify = true;          // desktop notifications for alarms
    bool headless = false;       // no window, messages on standard error
    bool minimized = false;      // the window starts hidden in the tray, or minimized
    QMap<QString, QString> mqtt; // [mqtt] settings given on the command line
    // Reading history: the file (empty: the default in the user's data
    // folder), whether to keep one at all, and how many days it keeps its
    // summaries and its readings (unset: as vorn.conf says, or the defaults).
    QString historyFile;
    bool noHistory = false;
    std::optional<int> historyDays;
    std::optional<int> historyRawDays;
    // Set: write the history's readings to this CSV file and exit, without
    // a display or a link. The times are checked by the export itself.
    QString exportCsv;
    QString since;
    QString until;
    // Set: print the tyre analysis of the history (as JSON with `json`) and
    // exit; --until, when given, is the time it is made for.
    bool tyreReport = false;
    bool json = false;
};

// The outcome of reading the command line: run with the options, or end at
// once with a text for standard output (help, version) or standard error.
struct CommandLine {
    enum class Action { Run, Exit };
    Action action = Action::Run;
    int exitCode = 0;
    QString output;
    QString error;
    ProgramOptions options;
};

// Reads the program's arguments (the first is the program's name). Needs no
// display and no settings file. Qt's own window options (-platform, -display,
// -style, ...) are left for Qt and do not count as unknown.
CommandLine parseCommandLine(const QStringList& arguments);

// Each setting of vorn.conf ("section/key") that the options set for this
// run, with the option as given: "mqtt/port" -> "--mqtt-port 1884".
QMap<QString, QString> commandLineNotes(const ProgramOptions& options);

// The arguments of main() as text, for parseCommandLine and for Qt.
QStringList argumentList(int argc, char** argv);

} // namespace vorn
