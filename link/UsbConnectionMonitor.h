#pragma once

#include <cstdint>

namespace vorn {

// When to look for the USB unit: every device-change broadcast restarts a
// quiet count, and a search is due once more than ten monitor ticks passed
// without one. A search is due at start, so the unit is found without any
// broadcast.
class UsbConnectionMonitor {
public:
    // Any device-change broadcast, whatever device it concerns.
    void deviceChanged() {
        UsbQuietTicks = 0;
        UsbRescanPending = true;
    }

    // One monitor tick; true when the search is due now (and no longer pending).
    bool tick();

    std::int32_t UsbQuietTicks = 0;
    bool UsbRescanPending = true;
};

} // namespace vorn
