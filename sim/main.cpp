// vorn-unit-sim: a simulated monitor unit on a pseudo-terminal.
#include "sim/LineServer.h"
#include "sim/LinkFile.h"
#include "sim/Options.h"
#include "sim/PtyMaster.h"
#include "sim/UnitModel.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Set by Ctrl-C and SIGTERM; the serving loop checks it every few milliseconds.
volatile std::sig_atomic_t stopRequested = 0;

extern "C" void requestStop(int) {
    stopRequested = 1;
}

void installStopHandlers() {
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

int serve(const vorn::sim::Options& options) {
    using namespace vorn::sim;
    UnitModel unit(options.unit);
    const PtyMaster pty;
    const LinkFile link(std::filesystem::path(options.folder) / options.linkName, pty.slavePath());
    std::printf("%s on %s -> %s; Ctrl-C ends\n",
                std::string(scenarioName(options.unit.scenario)).c_str(), link.path().c_str(),
                pty.slavePath().c_str());
    std::fflush(stdout);
    LineServer(unit, pty, options.verbose).run(stopRequested);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    const vorn::sim::ParsedOptions parsed = vorn::sim::parseOptions(args);
    if (!parsed.options) {
        std::fprintf(stderr, "vorn-unit-sim: %s\nTry 'vorn-unit-sim --help'.\n",
                     parsed.error.c_str());
        return 2;
    }
    if (parsed.options->help || parsed.options->version) {
        const std::string text =
            parsed.options->help ? vorn::sim::usageText() : vorn::sim::versionText();
        std::fputs(text.c_str(), stdout);
        return 0;
    }
    installStopHandlers();
    try {
        return serve(*parsed.options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vorn-unit-sim: %s\n", e.what());
        return 1;
    }
}
