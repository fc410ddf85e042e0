#include "sim/Outbox.h"

#include <iterator>
#include <utility>

namespace vorn::sim {

void Outbox::sendFrame(std::string_view body) {
    sendSerialOnly(frame(body));
    sendUsbOnly(body);
}

void Outbox::sendUsbOnly(std::string_view body) {
    if (usb_.size() >= kUsbLimit)
        return;
    if (const auto report = usbInReport(frame(body)))
        usb_.push_back(*report);
}

void Outbox::sendSerialOnly(std::string_view bytes) {
    if (serial_.size() + bytes.size() <= kSerialLimit)
        serial_ += bytes;
}

std::string Outbox::takeSerial() {
    return std::exchange(serial_, {});
}

std::vector<UsbInReport> Outbox::takeUsb() {
    std::vector<UsbInReport> out(std::make_move_iterator(usb_.begin()),
                                 std::make_move_iterator(usb_.end()));
    usb_.clear();
    return out;
}

} // namespace vorn::sim
