#include "tests/support/PrivateDesktop.h"

#include <QByteArray>
#include <QtGlobal>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vorn::test {

namespace {

constexpr int kReadyMs = 30'000;
constexpr int kReportFd = 3;

void stop(pid_t pid) {
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

} // namespace

PrivateDesktop::PrivateDesktop() {
    // Xvfb takes the first free display and says its number when it
    // accepts connections; it never listens on the network.
    const std::string display = startReporting({"Xvfb", "-displayfd", std::to_string(kReportFd),
                                                "-nolisten", "tcp", "-screen", "0", "1024x768x24"},
                                               xvfb_);
    const std::string bus = startReporting(
        {"dbus-daemon", "--session", "--nofork", "--print-address=" + std::to_string(kReportFd)},
        bus_);
    if (display.empty() || bus.empty())
        qFatal("no private desktop for the test: Xvfb %s, dbus-daemon %s",
               display.empty() ? "failed" : "started", bus.empty() ? "failed" : "started");
    qputenv("DISPLAY", QByteArray::fromStdString(":" + display));
    qputenv("DBUS_SESSION_BUS_ADDRESS", QByteArray::fromStdString(bus));
    qputenv("QT_QPA_PLATFORM", "xcb");
    // Needed by nobody here: the server lets every local client in, and no
    // test reads the user's own files.
    qunsetenv("XAUTHORITY");
    qunsetenv("WAYLAND_DISPLAY");
}

PrivateDesktop::~PrivateDesktop() {
    stop(bus_);
    stop(xvfb_);
}

std::string PrivateDesktop::startReporting(std::vector<std::string> args, pid_t& pid) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return {};
    pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlives a test that crashed
        const int quiet = ::open("/dev/null", O_RDWR);
        for (const int fd : {0, 1, 2})
            ::dup2(quiet, fd);
        if (ends[1] == kReportFd)
            ::fcntl(kReportFd, F_SETFD, 0); // kept open across exec
        else
            ::dup2(ends[1], kReportFd); // the copy is kept open across exec
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(ends[1]);
    std::string line;
    pollfd ready{ends[0], POLLIN, 0};
    char c = 0;
    while (pid > 0 && ::poll(&ready, 1, kReadyMs) == 1 && ::read(ends[0], &c, 1) == 1 && c != '\n')
        line += c;
    ::close(ends[0]);
    return c == '\n' ? line : std::string();
}

} // namespace vorn::test
