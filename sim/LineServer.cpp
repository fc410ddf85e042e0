#include "sim/LineServer.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <poll.h>
#include <system_error>
#include <unistd.h>

namespace vorn::sim {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPollMs = 10;
// After a pause of the process (a debugger, Ctrl-Z) the unit skips the lost
// time rather than sending all of it at once.
constexpr milliseconds kMaxCatchUp{1000};

} // namespace

void LineServer::run(const volatile std::sig_atomic_t& stop) {
    auto last = Clock::now();
    while (stop == 0) {
        const bool listening = receive();
        const auto now = Clock::now();
        const auto elapsed = std::chrono::duration_cast<milliseconds>(now - last);
        last += elapsed;
        unit_.advance(std::min(elapsed, kMaxCatchUp));
        send(listening);
    }
}

bool LineServer::receive() {
    pollfd line{pty_.fd(), POLLIN, 0};
    const int ready = ::poll(&line, 1, kPollMs);
    if (ready < 0 && errno != EINTR)
        throw std::system_error(errno, std::generic_category(), "cannot wait on the line");
    if (ready <= 0)
        return true;
    if ((line.revents & POLLHUP) != 0) {
        // A hung-up master polls ready at once; wait out the tick instead.
        ::poll(nullptr, 0, kPollMs);
        return false;
    }
    std::array<char, 256> buffer{};
    const ssize_t n = ::read(pty_.fd(), buffer.data(), buffer.size());
    if (n > 0) {
        const std::string_view bytes(buffer.data(), static_cast<std::size_t>(n));
        print("received", bytes);
        unit_.receiveSerial(bytes);
    }
    return true;
}

void LineServer::send(bool peerListening) {
    const std::string bytes = unit_.takeSerialBytes();
    if (bytes.empty() || !peerListening)
        return;
    // What the line does not take now is lost, as on a real line whose
    // receiver does not keep up.
    const ssize_t n = ::write(pty_.fd(), bytes.data(), bytes.size());
    if (n > 0)
        print("sent", std::string_view(bytes).substr(0, static_cast<std::size_t>(n)));
}

void LineServer::print(std::string_view direction, std::string_view bytes) const {
    if (!verbose_)
        return;
    std::string text;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F) {
            text += c;
        } else {
            std::array<char, 8> escaped{};
            std::snprintf(escaped.data(), escaped.size(), "\\x%02X", u);
            text += escaped.data();
        }
    }
    std::printf("%.*s: %s\n", static_cast<int>(direction.size()), direction.data(), text.c_str());
    std::fflush(stdout);
}

} // namespace vorn::sim
