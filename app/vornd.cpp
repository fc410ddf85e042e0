// vornd: the monitor without a window, on Qt Core alone, for a server or a
// machine without a screen. It links no Qt Gui or Widgets.
#include "app/CommandLine.h"
#include "app/Headless.h"
#include "app/OneShotCommands.h"

#include <QtGlobal>

int main(int argc, char** argv) {
    const vorn::CommandLine command = vorn::parseCommandLine(vorn::argumentList(argc, argv));
    if (const auto status = vorn::runOneShotCommand(command, argc, argv))
        return *status;
    // No glib main loop: nothing here needs one, and it costs memory.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    return vorn::runHeadless(argc, argv, command.options);
}
