#include "app/CommandLine.h"
#include "app/Headless.h"
#include "app/HistoryViews.h"
#include "app/HistoryWiring.h"
#include "app/InsightWiring.h"
#include "app/OneShotCommands.h"
#include "app/PublishWiring.h"
#include "app/UserFolder.h"
#include "app/VornApplication.h"
#include "app/WindowSession.h"
#include "monitor/MonitorCore.h"
#include "monitor/UserSettings.h"
#include "notify/DbusNotices.h"
#include "notify/DesktopNotifier.h"
#include "window/DesktopMessageSink.h"
#include "window/TFmain.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {

// The monitor and its window, until the window is closed or the program told to end.
int runMonitor(int argc, char** argv, const vorn::ProgramOptions& options,
               vorn::NoticeService& sessionBus) {
    vorn::DesktopMessageSink messages;
    vorn::VornApplication app(argc, argv, messages);
    // Closed as by the user on SIGTERM, SIGINT and SIGHUP (a logout).
    const vorn::QuitOnSignals quitOnSignals(true);
    const std::optional<QString> workDir = vorn::chooseWorkFolder(options, messages);
    if (!workDir)
        return 1;
    vorn::SingleWindow single;
    if (!single.claim(vorn::monitorRuntimeFolder()))
        return 0; // the user's window came forward instead
    vorn::TonePlayer tones(vorn::makeAlsaOutput());
    const std::unique_ptr<vorn::HidBackend> hid = vorn::makeHidapiBackend();
    try {
        vorn::WindowSession session(options, {*workDir, &messages, &tones, hid.get(), &sessionBus});
        QObject::connect(&single, &vorn::SingleWindow::raiseRequested, &session,
                         &vorn::WindowSession::raiseWindow);
        session.start();
        return app.exec();
    } catch (const std::exception& e) {
        // A failed start is shown, and reported to the caller as a failure.
        messages.show(vorn::failureText(e), vorn::kExceptionCaption);
        return 1;
    }
}

} // namespace

int main(int argc, char** argv) {
    // The command line is read before Qt starts, so --help and --version
    // work without a display.
    const vorn::CommandLine command = vorn::parseCommandLine(vorn::argumentList(argc, argv));
    if (const auto status = vorn::runOneShotCommand(command, argc, argv))
        return *status;
    if (command.options.headless)
        return vorn::startHeadless(argc, argv, command.options);
    vorn::DbusNotices sessionBus;
    const int status = runMonitor(argc, argv, command.options, sessionBus);
    if (sessionBus.stillConnecting()) {
        // Everything of ours has closed; Qt's exit handlers would wait for
        // the bus for good.
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
