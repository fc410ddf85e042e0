#include "app/Headless.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <atomic>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace vorn {

namespace {

// A signal handler can reach nothing else: the write end of the pair.
std::atomic<int> signalWriteEnd{-1};

constexpr std::array kQuitSignals{SIGINT, SIGTERM, SIGHUP};

// The first signal asks the event loop to end cleanly; a second one, of
// either kind, ends the program at once, should the clean end hang.
extern "C" void onQuitSignal(int) {
    struct sigaction now {};
    now.sa_handler = SIG_DFL;
    for (const int s : kQuitSignals)
        ::sigaction(s, &now, nullptr);
    const int fd = signalWriteEnd.load();
    const char byte = 1;
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
}

} // namespace

void useOffscreenPlatform() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
}

QuitOnSignals::QuitOnSignals(bool active) {
    if (!active ||
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pair_.data()) != 0)
        return;
    signalWriteEnd.store(pair_[0]);
    notifier_ = new QSocketNotifier(pair_[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(pair_[1], bytes, sizeof bytes) > 0) {
        }
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int s : kQuitSignals)
        ::sigaction(s, &action, nullptr);
}

QuitOnSignals::~QuitOnSignals() {
    if (pair_[0] < 0)
        return;
    for (const int s : kQuitSignals)
        std::signal(s, SIG_DFL);
    signalWriteEnd.store(-1);
    for (const int fd : pair_)
        ::close(fd);
}

} // namespace vorn
