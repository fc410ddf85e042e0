#include "tests/support/PseudoTerminal.h"

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace vorn::test {

PseudoTerminal::PseudoTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
        throw std::runtime_error("cannot make a pseudo-terminal");
    devicePath_ = QString::fromLocal8Bit(ptsname(master_));
    // Raw from the start, as the program sets it: no line to wait for, no echo.
    watch_ = ::open(ptsname(master_), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios mode{};
    if (watch_ < 0 || ::tcgetattr(watch_, &mode) != 0)
        throw std::runtime_error("cannot open the pseudo-terminal's far side");
    ::cfmakeraw(&mode);
    ::tcsetattr(watch_, TCSANOW, &mode);
}

PseudoTerminal::~PseudoTerminal() {
    for (const int fd : {master_, watch_})
        if (fd >= 0)
            ::close(fd);
}

void PseudoTerminal::hangUp() {
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

void PseudoTerminal::send(const QByteArray& bytes) const {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            throw std::runtime_error("cannot write to the pseudo-terminal");
        done += n;
    }
}

void PseudoTerminal::write(const QByteArray& bytes) const {
    const qsizetype before = waiting();
    send(bytes);
    // The kernel hands the bytes to the program's side asynchronously. Nothing
    // on the test's thread reads them meanwhile, so they have all arrived once
    // that side holds them in addition to what waited before.
    using Clock = std::chrono::steady_clock;
    const auto limit = Clock::now() + std::chrono::seconds(5);
    while (waiting() < before + bytes.size() && Clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::microseconds(100));
}

bool PseudoTerminal::taken(int ms) const {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (waiting() > 0 && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return waiting() == 0;
}

qsizetype PseudoTerminal::waiting() const {
    int n = 0;
    return ::ioctl(watch_, FIONREAD, &n) == 0 ? n : 0;
}

QByteArray PseudoTerminal::read(int ms) const {
    QByteArray out;
    pollfd p{master_, POLLIN, 0};
    int wait = ms;
    while (::poll(&p, 1, wait) > 0 && (p.revents & POLLIN)) {
        char buffer[256];
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0)
            break;
        out.append(buffer, n);
        wait = 20;
    }
    return out;
}

} // namespace vorn::test
