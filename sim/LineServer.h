#pragma once

#include "sim/PtyMaster.h"
#include "sim/UnitModel.h"

#include <csignal>
#include <string_view>

namespace vorn::sim {

// Runs the unit in real time on a pseudo-terminal: feeds it what the program
// writes, moves its clock on and writes what it sends. While nobody has the
// line open the unit's bytes are lost, as on an unplugged cable.
class LineServer {
public:
    LineServer(UnitModel& unit, const PtyMaster& pty, bool verbose)
        : unit_(unit), pty_(pty), verbose_(verbose) {}

    // Serves until `stop` becomes non-zero.
    void run(const volatile std::sig_atomic_t& stop);

private:
    // False when nobody has the line open.
    bool receive();
    void send(bool peerListening);
    void print(std::string_view direction, std::string_view bytes) const;

    UnitModel& unit_;
    const PtyMaster& pty_;
    bool verbose_;
};

} // namespace vorn::sim
