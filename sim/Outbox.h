#pragma once

#include "sim/Frames.h"

#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::sim {

// What the unit has sent and nobody has collected yet, per link. A link that
// is never collected (USB while serving a serial line, say) fills up and then
// drops whole frames, like a unit talking into an unplugged cable.
class Outbox {
public:
    static constexpr std::size_t kSerialLimit = 16 * 1024;
    static constexpr std::size_t kUsbLimit = 256;

    // A whole frame on both links.
    void sendFrame(std::string_view body);
    // Bytes on the serial line only: noise, or a frame only that line carries.
    void sendSerialOnly(std::string_view bytes);
    // A whole frame on USB only.
    void sendUsbOnly(std::string_view body);

    std::string takeSerial();
    std::vector<UsbInReport> takeUsb();

private:
    std::string serial_;
    std::deque<UsbInReport> usb_;
};

} // namespace vorn::sim
