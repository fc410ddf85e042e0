#include "app/OneShotCommands.h"

#include "app/HistoryCommand.h"
#include "app/TyreReportCommand.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

namespace vorn {

std::optional<int> runOneShotCommand(const CommandLine& command, int argc, char** argv) {
    if (command.action == CommandLine::Action::Exit) {
        std::fputs(qUtf8Printable(command.output), stdout);
        std::fputs(qUtf8Printable(command.error), stderr);
        return command.exitCode;
    }
    if (!command.options.exportCsv.isEmpty()) {
        const QCoreApplication core(argc, argv);
        return runCsvExportCommand(command.options, QDir::currentPath());
    }
    if (command.options.tyreReport) {
        const QCoreApplication core(argc, argv);
        return runTyreReportCommand(command.options, QDir::currentPath());
    }
    return std::nullopt;
}

} // namespace vorn
