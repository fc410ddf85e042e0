// vornd: the monitor without a window, on Qt Core alone, for a server or a
// machine without a screen. It links no Qt Gui or Widgets.
#include "app/CommandLine.h"
#include "app/Headless.h"
#include "app/HistoryCommand.h"
#include "app/TyreReportCommand.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

int main(int argc, char** argv) {
    const vorn::CommandLine command = vorn::parseCommandLine(vorn::argumentList(argc, argv));
    if (command.action == vorn::CommandLine::Action::Exit) {
        std::fputs(qUtf8Printable(command.output), stdout);
        std::fputs(qUtf8Printable(command.error), stderr);
        return command.exitCode;
    }
    if (!command.options.exportCsv.isEmpty()) {
        const QCoreApplication core(argc, argv);
        return vorn::runCsvExportCommand(command.options, QDir::currentPath());
    }
    if (command.options.tyreReport) {
        const QCoreApplication core(argc, argv);
        return vorn::runTyreReportCommand(command.options, QDir::currentPath());
    }
    // No glib main loop: nothing here needs one, and it costs memory.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    return vorn::runHeadless(argc, argv, command.options);
}
