#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vorn {

// The monitor unit's USB numbers.
inline constexpr std::uint16_t kUnitVendorId = 0x1234;
inline constexpr std::uint16_t kUnitProductId = 0x5678;

// One HID interface as the system lists it.
struct HidEntry {
    std::string path;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    int interfaceNumber = -1; // -1 when the system does not tell
};

// An open HID interface; closed when destroyed. One thread at a time may use
// a handle, but two handles to the same device may be used at once.
class HidHandle {
public:
    virtual ~HidHandle() = default;
    // Waits at most `timeoutMs` for one input report and copies as much of it
    // as fits into `buffer`. The byte count, 0 on time-out, -1 on error (for
    // example when the device is gone).
    virtual int read(std::span<std::uint8_t> buffer, int timeoutMs) = 0;
    // Sends one output report, byte 0 being its report number. The byte count
    // sent, -1 on error.
    virtual int write(std::span<const std::uint8_t> report) = 0;
};

// The system's HID service.
class HidBackend {
public:
    virtual ~HidBackend() = default;
    // The interfaces the system lists for these numbers, in its order. A
    // backend may list more than asked for; callers check the numbers.
    virtual std::vector<HidEntry> enumerate(std::uint16_t vendorId, std::uint16_t productId) = 0;
    // Null when the path cannot be opened.
    virtual std::unique_ptr<HidHandle> open(const std::string& path) = 0;
};

// hidapi over Linux hidraw (or the platform's native back end elsewhere).
std::unique_ptr<HidBackend> makeHidapiBackend();

} // namespace vorn
