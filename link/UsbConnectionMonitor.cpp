#include "link/UsbConnectionMonitor.h"

namespace vorn {

namespace {
constexpr std::int32_t kQuietTicksBeforeSearch = 10;
} // namespace

bool UsbConnectionMonitor::tick() {
    // Only "more than ten" is ever asked, so stop counting there.
    if (UsbQuietTicks <= kQuietTicksBeforeSearch)
        ++UsbQuietTicks;
    if (UsbQuietTicks > kQuietTicksBeforeSearch && UsbRescanPending) {
        UsbRescanPending = false;
        return true;
    }
    return false;
}

} // namespace vorn
