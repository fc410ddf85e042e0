#include "sim/PtyMaster.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <stdlib.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace vorn::sim {
namespace {

[[noreturn]] void fail(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

// Raw mode set once on the slave stays with the terminal while the master is
// open, also when the other side closes and reopens it.
void makeRaw(const std::string& slavePath) {
    const UniqueFd slave(::open(slavePath.c_str(), O_RDWR | O_NOCTTY));
    if (!slave.valid())
        fail("cannot open the pseudo-terminal's line");
    termios mode{};
    if (::tcgetattr(slave.get(), &mode) != 0)
        fail("cannot read the line settings");
    ::cfmakeraw(&mode);
    ::cfsetispeed(&mode, B9600);
    ::cfsetospeed(&mode, B9600);
    if (::tcsetattr(slave.get(), TCSANOW, &mode) != 0)
        fail("cannot set the line to raw mode");
}

} // namespace

UniqueFd::~UniqueFd() {
    if (fd_ >= 0)
        ::close(fd_);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

PtyMaster::PtyMaster() : master_(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK)) {
    if (!master_.valid())
        fail("cannot make a pseudo-terminal");
    if (::grantpt(master_.get()) != 0 || ::unlockpt(master_.get()) != 0)
        fail("cannot unlock the pseudo-terminal");
    std::array<char, 128> name{};
    if (::ptsname_r(master_.get(), name.data(), name.size()) != 0)
        fail("cannot name the pseudo-terminal");
    slavePath_ = name.data();
    makeRaw(slavePath_);
}

} // namespace vorn::sim
