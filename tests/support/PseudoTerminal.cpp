#include "tests/support/PseudoTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <unistd.h>

namespace vorn::test {

PseudoTerminal::PseudoTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
        throw std::runtime_error("cannot make a pseudo-terminal");
    devicePath_ = QString::fromLocal8Bit(ptsname(master_));
}

PseudoTerminal::~PseudoTerminal() {
    if (master_ >= 0)
        ::close(master_);
}

void PseudoTerminal::hangUp() {
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

void PseudoTerminal::write(const QByteArray& bytes) const {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            throw std::runtime_error("cannot write to the pseudo-terminal");
        done += n;
    }
    // The kernel hands the bytes to the other side asynchronously, within
    // microseconds; give it a moment so the next poll finds them.
    ::usleep(20000);
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
