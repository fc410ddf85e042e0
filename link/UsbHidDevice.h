#pragma once

#include "link/HidBackend.h"
#include "link/UsbWriter.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>

namespace vorn {

// The unit's input report: byte 0 the report number, bytes 1 to 16 one frame.
inline constexpr std::size_t kUsbInReportSize = 17;
// The output report: byte 0 the report number (0), bytes 1 to 8 the command.
inline constexpr std::size_t kUsbOutReportSize = 9;
using UsbInReport = std::array<std::uint8_t, kUsbInReportSize>;

// The unit on USB, opened twice: the read handle belongs to the receive
// thread and the write handle to the writer's thread, so a read waiting on
// one never holds up a command on the other, and neither holds up the window.
class UsbHidDevice {
public:
    static constexpr int kReadTimeoutMs = 100;

    explicit UsbHidDevice(HidBackend& backend);
    ~UsbHidDevice();
    UsbHidDevice(const UsbHidDevice&) = delete;
    UsbHidDevice& operator=(const UsbHidDevice&) = delete;

    // Looks for the unit among the listed interfaces, in their order; the
    // first one with the unit's numbers that opens is taken, and both
    // handles are replaced by new ones to it. True when found. When it is
    // not found, or it vanishes before both handles are open, the search
    // fails and the old handles stay as they are.
    // Main thread only, and only while the receive loop is parked: it
    // replaces the read handle.
    bool FindUsbDevice();

    // Waits at most kReadTimeoutMs for one input report. A report of 16 bytes
    // (a device without report numbers) comes back with byte 0 = 0 before it;
    // one of 17 bytes as it is. False on time-out, error, a report of any
    // other length, or without a read handle. Receive thread only.
    bool UsbReadReport(UsbInReport& out);

    // Hands the 9 bytes, byte 0 set to 0, to the writer and returns at once;
    // they go out unless they cannot start within 100 ms. False when there
    // is no write handle or the writer's queue is full. Main thread only.
    bool UsbWriteReport(std::span<const std::uint8_t, kUsbOutReportSize> report);
    // Reports handed over but not yet started are dropped.
    void DiscardPendingWrites() { writer_.discardPending(); }

private:
    HidBackend& backend_;
    std::unique_ptr<HidHandle> read_; // receive thread; replaced while it is parked
    UsbWriter writer_;                // owns the write handle
};

} // namespace vorn
